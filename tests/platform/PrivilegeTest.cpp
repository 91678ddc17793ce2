// The debug-privilege question: root (or CAP_KILL) yes, an ordinary user no.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/Privilege.h"

namespace {

TEST(PrivilegeTest, RootHasItAnUnprivilegedUserDoesNot) {
  if (geteuid() != 0) {
    EXPECT_FALSE(platform::HasDebugPrivilege());
    return;
  }
  EXPECT_TRUE(platform::HasDebugPrivilege());
  // Dropping to "nobody" clears the capability sets as well.
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
    _exit(platform::HasDebugPrivilege() ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
