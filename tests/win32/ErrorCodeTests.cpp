// The Windows errors that system failures are reported as.
#include <gtest/gtest.h>
#include <sys/file.h>

#include <cerrno>

#include "PortFixture.h"
#include "platform/win32/Handles.h"

namespace win32_test {
namespace {

using win32::ErrorFromErrno;

// The serial classes give ERROR_INVALID_FUNCTION a meaning of their own, and ERROR_ACCESS_DENIED
// means "held by another program" to a probe: no unrelated failure may read as either.
TEST(ErrorCodes, EachFailureKeepsItsOwnMeaning) {
    EXPECT_EQ(ErrorFromErrno(ENOTTY), ERROR_NOT_SUPPORTED);
    EXPECT_EQ(ErrorFromErrno(EAGAIN), ERROR_BUSY);
    EXPECT_EQ(ErrorFromErrno(EBUSY), ERROR_ACCESS_DENIED);
    EXPECT_EQ(ErrorFromErrno(ENOENT), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ErrorFromErrno(EIO), ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(ErrorFromErrno(0), ERROR_SUCCESS);
    EXPECT_EQ(ErrorFromErrno(EDOM), ERROR_GEN_FAILURE) << "one the layer never expects";
}

using PortHolders = PortTest;

TEST_F(PortHolders, DeviceLockedByAnotherProgramIsAccessDenied) {
    const int holder = open(m_peer.Path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(OpenPath(m_peer.Path()), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

    close(holder);
    ASSERT_NO_FATAL_FAILURE(Open()) << "free once the other program let go";
}

}  // namespace
}  // namespace win32_test
