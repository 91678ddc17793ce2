// Fixtures for the skin drawing and resource tests (see DrawTestSupport.h).
#include "DrawTestSupport.h"

#include <stb_image_write.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace drawtest {

namespace {

void Put16(std::string* out, uint32_t v) {
  out->push_back(static_cast<char>(v & 0xFF));
  out->push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string* out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

void AppendBytes(void* context, void* data, int size) {
  static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

std::string RawDeflate(const std::string& data) {
  z_stream stream{};
  deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&stream, data.size()) + 16, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

}  // namespace

std::string MakePng(int width, int height, const std::vector<uint32_t>& argb) {
  std::vector<unsigned char> rgba(argb.size() * 4);
  for (std::size_t i = 0; i < argb.size(); ++i) {
    rgba[i * 4 + 0] = static_cast<unsigned char>((argb[i] >> 16) & 0xFF);
    rgba[i * 4 + 1] = static_cast<unsigned char>((argb[i] >> 8) & 0xFF);
    rgba[i * 4 + 2] = static_cast<unsigned char>(argb[i] & 0xFF);
    rgba[i * 4 + 3] = static_cast<unsigned char>(argb[i] >> 24);
  }
  std::string out;
  stbi_write_png_to_func(AppendBytes, &out, width, height, 4, rgba.data(), width * 4);
  return out;
}

std::string MakeSolidPng(int width, int height, uint32_t argb) {
  return MakePng(width, height, std::vector<uint32_t>(static_cast<std::size_t>(width) * height, argb));
}

std::string MakeGif(const std::string& scratchDir, int width, int height,
                    const std::vector<uint32_t>& frameColours, const std::vector<int>& delays) {
  const char* convert = "/usr/bin/convert";
  if (access(convert, X_OK) != 0) return std::string();
  std::vector<std::string> args = {convert};
  for (std::size_t i = 0; i < frameColours.size(); ++i) {
    std::string path = scratchDir + "/frame" + std::to_string(i) + ".png";
    std::ofstream(path, std::ios::binary) << MakeSolidPng(width, height, frameColours[i]);
    args.push_back("-delay");
    args.push_back(std::to_string(delays[i]));
    args.push_back(path);
  }
  std::string out = scratchDir + "/anim.gif";
  args.push_back(out);
  pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    execv(convert, argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::string();
  std::ifstream in(out, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

void ZipBuilder::Add(const std::string& name, const std::string& data, Method method) {
  Item item{name, method == kDeflate ? RawDeflate(data) : data, static_cast<uint16_t>(method), 0,
            static_cast<uint32_t>(data.size())};
  item.crc = static_cast<uint32_t>(crc32(0L, reinterpret_cast<const Bytef*>(data.data()),
                                         static_cast<uInt>(data.size())));
  m_items.push_back(std::move(item));
}

void ZipBuilder::AddRaw(const std::string& name, const std::string& data, uint16_t method) {
  Item item{name, data, method, 0, static_cast<uint32_t>(data.size())};
  item.crc = static_cast<uint32_t>(crc32(0L, reinterpret_cast<const Bytef*>(data.data()),
                                         static_cast<uInt>(data.size())));
  m_items.push_back(std::move(item));
}

std::string ZipBuilder::Build() const {
  std::string out;
  std::string directory;
  for (const Item& item : m_items) {
    uint32_t offset = static_cast<uint32_t>(out.size());
    Put32(&out, 0x04034b50);
    Put16(&out, 20);
    Put16(&out, 0);
    Put16(&out, item.method);
    Put32(&out, 0);  // time, date
    Put32(&out, item.crc);
    Put32(&out, static_cast<uint32_t>(item.stored.size()));
    Put32(&out, item.size);
    Put16(&out, static_cast<uint32_t>(item.name.size()));
    Put16(&out, 0);
    out += item.name;
    out += item.stored;

    Put32(&directory, 0x02014b50);
    Put16(&directory, 20);
    Put16(&directory, 20);
    Put16(&directory, 0);
    Put16(&directory, item.method);
    Put32(&directory, 0);
    Put32(&directory, item.crc);
    Put32(&directory, static_cast<uint32_t>(item.stored.size()));
    Put32(&directory, item.size);
    Put16(&directory, static_cast<uint32_t>(item.name.size()));
    Put16(&directory, 0);  // extra
    Put16(&directory, 0);  // comment
    Put16(&directory, 0);  // disk
    Put16(&directory, 0);  // internal attributes
    Put32(&directory, 0);  // external attributes
    Put32(&directory, offset);
    directory += item.name;
  }
  uint32_t directoryOffset = static_cast<uint32_t>(out.size());
  out += directory;
  Put32(&out, 0x06054b50);
  Put16(&out, 0);
  Put16(&out, 0);
  Put16(&out, static_cast<uint32_t>(m_items.size()));
  Put16(&out, static_cast<uint32_t>(m_items.size()));
  Put32(&out, static_cast<uint32_t>(directory.size()));
  Put32(&out, directoryOffset);
  Put16(&out, 0);
  return out;
}

void FakeResources::AddImage(const std::wstring& name, std::unique_ptr<SkinUI::SkinImage> image) {
  m_images[name] = std::move(image);
}

const SkinUI::SkinImage* FakeResources::ImageFor(const std::wstring& name, const std::wstring&, uint32_t) {
  ++m_lookups[name];
  auto it = m_images.find(name);
  return it == m_images.end() ? nullptr : it->second.get();
}

const SkinUI::SkinFont* FakeResources::FontAt(int index) const {
  if (index < 0 || index >= static_cast<int>(m_fonts.size())) return DefaultFont();
  return m_fonts[index].get();
}

int FakeResources::Lookups(const std::wstring& name) const {
  auto it = m_lookups.find(name);
  return it == m_lookups.end() ? 0 : it->second;
}

std::unique_ptr<SkinUI::SkinImage> SolidImage(int width, int height, uint32_t argb) {
  std::string png = MakeSolidPng(width, height, argb);
  return SkinUI::DecodeSkinImage(png.data(), png.size(), 0);
}

}  // namespace drawtest
