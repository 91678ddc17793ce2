// The process-wide skin resource layer: module instance, resource folder, the
// current archive (a ZIP file, or "membuffer" for the packaged archive read into
// memory) and the loaders of skin files, images and animated images built on it.
// All functions are thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Resources.h"
#include "ui/utils/AnimatedImage.h"
#include "ui/utils/SkinImage.h"

namespace SkinUI {

// Skin files larger than this are refused.
constexpr std::size_t kMaxSkinFileSize = 4194304;
// Name of the archive opened from memory.
constexpr const wchar_t* kMemoryArchiveName = L"membuffer";

// Any non-null value marks the instance as set (it stands for the executable).
void SetModuleInstance(void* instance);
void* ModuleInstance();
// Folder of the executable with a trailing '/', or empty when no instance is set.
std::wstring InstanceFolder();

// Stores the folder, adding a '/' when it does not end in '\' or '/'; null clears.
void SetResourceFolder(const wchar_t* path);
std::wstring ResourcePath();

// Opens resource folder + name as the current archive (kept open); null clears.
// Nothing happens when the same archive is already open.
void SetArchiveFile(const wchar_t* name);
// Opens the block as the current archive, named "membuffer". Nothing happens when
// "membuffer" is already the current archive (the first block stays in use).
void SetArchiveMemory(std::vector<unsigned char> block);
// Current archive name; empty when none.
std::wstring ArchiveName();

// The packaged-archive step of a window's creation: unless "membuffer" is already
// open, reads resource "ZIPRES" `id` and opens a copy of it from memory. False when
// the resource is missing or empty (the window then builds nothing).
bool UseArchiveResource(int id);

// Reads a skin file (archive entry, or resource folder + name). On failure `error`
// gets the message the parser records ("Error opening zip file", "Could not find
// ziped file", "File is empty", "File too large", "Could not unzip file",
// "Error opening file", "Could not read file").
bool ReadSkinFile(const std::wstring& name, std::string* bytes, std::wstring* error);

// Bytes of an image: a packaged resource when `type` is given (numeric id in
// `name`), else the archive entry or resource folder + name, then `name` as a path.
bool ReadImageBytes(const std::wstring& name, const std::wstring& type, std::string* bytes);

// Decoded image or null; records `type` and `mask` in the result.
std::unique_ptr<SkinImage> LoadSkinImage(const std::wstring& name, const std::wstring& type,
                                         uint32_t mask);
// Every frame of an animated image, or null when it is missing or undecodable.
std::unique_ptr<CAnimatedImage> LoadAnimatedImage(const std::wstring& name);

// Tests only: replaces the packaged-resource lookup (null: back to the real one)
// and drops all state (instance, folder, archive).
using ResourceFinderFn = bool (*)(const std::string& type, int id, platform::ResourceBlob* out);
void SetResourceFinderForTest(ResourceFinderFn finder);
void ResetSkinResourcesForTest();

}  // namespace SkinUI
