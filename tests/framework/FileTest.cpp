#include "framework/File.h"

#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <string>

using qxt::test::ReadFileBytes;
using qxt::test::TempDir;
using qxt::test::WriteFileBytes;

namespace {

// Whether a second opener with this access and sharing gets the file while a CFile holds it.
bool SecondOpenSucceeds(const std::wstring& path, DWORD access, DWORD share)
{
    qxt::UniqueFileHandle other(
        ::CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(other);
}

TEST(CFileOpen, ShareFlagsDecideWhoElseMayOpenTheFile)
{
    static const struct {
        const char* label;
        UINT flags;
        bool otherReaderAllowed;
        bool otherWriterAllowed;
    } cases[] = {
        {"no share flag: exclusive", CFile::modeRead, false, false},
        {"no share flag, typeBinary: exclusive", CFile::modeRead | CFile::typeBinary, false, false},
        {"shareExclusive", CFile::modeRead | CFile::shareExclusive, false, false},
        {"shareDenyWrite", CFile::modeRead | CFile::shareDenyWrite, true, false},
        {"shareDenyRead", CFile::modeRead | CFile::shareDenyRead, false, true},
        {"shareDenyNone", CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary, true, true},
    };
    TempDir dir;
    const std::wstring path = dir / L"shared.bin";
    ASSERT_TRUE(WriteFileBytes(path, "content"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        CFile file;
        ASSERT_TRUE(file.Open(path.c_str(), c.flags));
        // The other opener shares everything, so only our flags can refuse it.
        constexpr DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
        EXPECT_EQ(SecondOpenSucceeds(path, GENERIC_READ, shareAll), c.otherReaderAllowed);
        EXPECT_EQ(SecondOpenSucceeds(path, GENERIC_WRITE, shareAll), c.otherWriterAllowed);
    }
}

TEST(CFileOpen, OpenFailsWhenAnotherHandleDeniesTheSharingAsked)
{
    TempDir dir;
    const std::wstring path = dir / L"held.bin";
    ASSERT_TRUE(WriteFileBytes(path, "content"));
    // Held by someone who lets others read and write: an exclusive open still fails.
    qxt::UniqueFileHandle holder(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                               nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    CFile exclusive;
    ::SetLastError(0xdeadbeef);
    EXPECT_FALSE(exclusive.Open(path.c_str(), CFile::modeRead));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CFile shared;
    EXPECT_TRUE(shared.Open(path.c_str(), CFile::modeRead | CFile::shareDenyNone));
}

TEST(CFileOpen, CreateAndTruncateFlagsDecideWhatHappensToTheFile)
{
    static const struct {
        const char* label;
        bool fileExists;
        UINT flags;
        bool opens;
        const char* contentAfter;  // nullptr: no file afterwards
    } cases[] = {
        {"read, missing file", false, CFile::modeRead, false, nullptr},
        {"write without create, missing file", false, CFile::modeWrite, false, nullptr},
        {"read, existing file", true, CFile::modeRead, true, "old content"},
        {"write without create keeps the bytes", true, CFile::modeWrite, true, "old content"},
        {"create truncates", true, CFile::modeCreate | CFile::modeWrite, true, ""},
        {"create, missing file", false, CFile::modeCreate | CFile::modeWrite, true, ""},
        {"create no-truncate keeps the bytes", true, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite,
         true, "old content"},
        {"create no-truncate, missing file", false, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite, true,
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        const std::wstring path = dir / L"file.bin";
        if (c.fileExists) {
            ASSERT_TRUE(WriteFileBytes(path, "old content"));
        }
        {
            CFile file;
            ::SetLastError(0xdeadbeef);
            EXPECT_EQ(file.Open(path.c_str(), c.flags) != FALSE, c.opens);
            if (!c.opens) {
                EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
            }
        }
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (c.contentAfter == nullptr) {
            EXPECT_EQ(attributes, INVALID_FILE_ATTRIBUTES);
        } else {
            EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
            EXPECT_EQ(ReadFileBytes(path), c.contentAfter);
        }
    }
}

TEST(CFileIo, ReadWriteSeekAndLengthWorkOnTheSameFile)
{
    TempDir dir;
    const std::wstring path = dir / L"io.bin";
    CFile file;
    ASSERT_TRUE(file.Open(path.c_str(), CFile::modeCreate | CFile::modeReadWrite | CFile::typeBinary));
    EXPECT_TRUE(file.Write("0123456789", 10));
    EXPECT_TRUE(file.Flush());
    ULONGLONG length = 0;
    EXPECT_TRUE(file.GetLength(length));
    EXPECT_EQ(length, 10u);

    ULONGLONG position = 0;
    EXPECT_TRUE(file.Seek(-4, CFile::end, &position));
    EXPECT_EQ(position, 6u);
    char buffer[16] = {};
    UINT got = 0;
    EXPECT_TRUE(file.Read(buffer, sizeof buffer, got));
    EXPECT_EQ(got, 4u);
    EXPECT_EQ(std::string(buffer, 4), "6789");
    EXPECT_TRUE(file.Read(buffer, sizeof buffer, got));
    EXPECT_EQ(got, 0u) << "at the end a read returns 0";

    EXPECT_TRUE(file.Seek(2, CFile::begin, &position));
    EXPECT_EQ(position, 2u);
    EXPECT_TRUE(file.Seek(3, CFile::current, &position));
    EXPECT_EQ(position, 5u);
    EXPECT_TRUE(file.Read(buffer, 1, got));
    EXPECT_EQ(got, 1u);
    EXPECT_EQ(buffer[0], '5');
    file.Close();
    EXPECT_EQ(ReadFileBytes(path), "0123456789");
}

TEST(CFileIo, ErrorsAreReturnedWithThePlatformsCode)
{
    TempDir dir;
    const std::wstring path = dir / L"readonly.bin";
    ASSERT_TRUE(WriteFileBytes(path, "abc"));
    CFile file;
    ASSERT_TRUE(file.Open(path.c_str(), CFile::modeRead));

    ::SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(file.Write("x", 1)) << "writing through a read-only handle";
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ::SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(file.Seek(-1, CFile::begin)) << "seeking before the start";
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));

    file.Close();
    EXPECT_EQ(ReadFileBytes(path), "abc") << "the failed write changed the file";
    char byte = 0;
    UINT got = 7;
    EXPECT_FALSE(file.Read(&byte, 1, got)) << "reading a closed file";
    EXPECT_EQ(got, 0u);
    ULONGLONG length = 0;
    EXPECT_FALSE(file.GetLength(length)) << "length of a closed file";
}

}  // namespace
