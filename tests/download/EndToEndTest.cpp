// Installs a sample client from the reference download server (a real nginx
// that nginx_e2e.sh starts on a loopback port), then runs again and keeps
// every file as current. Started by nginx_e2e.sh, which passes:
//   QXT_E2E_HOST      host:port of the server
//   QXT_E2E_FILES     Windows path of the server's files folder
//   QXT_E2E_MANIFEST  Windows path of the manifest the server hands out
#include "download/DownloadClientFiles.h"

#include "core/SetupMessages.h"
#include "tests/download/DownloadTestSupport.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/TestPaths.h"
#include "tests/support/TransferProgress.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

using namespace qxt::test;

namespace {

std::wstring Environment(const char* name)
{
    const char* value = std::getenv(name);
    return Widen(value ? value : "");
}

struct SampleFile {
    std::wstring name;
    std::string bytes;
};

TEST(EndToEnd, AFreshInstallFetchesEveryFileAndTheNextRunKeepsThemAll)
{
    const std::wstring host = Environment("QXT_E2E_HOST");
    const std::wstring files = Environment("QXT_E2E_FILES");
    const std::string manifest = ReadFileBytes(Environment("QXT_E2E_MANIFEST"));
    ASSERT_FALSE(host.empty()) << "started by nginx_e2e.sh";
    ASSERT_FALSE(manifest.empty());

    std::vector<SampleFile> sample;
    DWORD total = 0;
    size_t start = 0;
    while (start < manifest.size()) {
        const size_t end = manifest.find("\r\n", start);
        const std::string line = manifest.substr(start, end - start);
        start = end + 2;
        SampleFile file{Widen(line.substr(0, line.find('|'))), {}};
        file.bytes = ReadFileBytes(files + L"\\" + file.name);
        ASSERT_FALSE(file.bytes.empty());
        total += static_cast<DWORD>(file.bytes.size());
        sample.push_back(file);
    }
    ASSERT_GE(sample.size(), 3u);

    TempDir dir;
    InstallInfo info{};
    const std::wstring folder = dir / L"Program Files\\QXTClient";
    wcscpy_s(info.InstallLocation, folder.c_str());
    MessageRecorder recorder;
    volatile LONG cancel = 0;
    std::string problems;

    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE(run == 1 ? "fresh install" : "second run");
        recorder.Clear();
        info.EstimatedSize = 0;

        EXPECT_EQ(DownloadClientFiles(host.c_str(), &cancel, recorder.Window(), info), TRUE);

        std::deque<std::wstring> texts;
        std::vector<ExpectedMessage> expected = {{WM_DOWNLOAD_BEGIN, 0, 0},
                                                 {kTransfer, manifest.size(), manifest.size()}};
        const size_t count = sample.size();
        for (size_t n = 1; n <= count; ++n) {
            const SampleFile& file = sample[n - 1];
            texts.push_back(L"正在校验..." + file.name);
            expected.push_back({WM_SETUP_STATUS_TEXT, texts.back().c_str(), 0});
            expected.push_back({WM_DOWNLOAD_FILE_INDEX, n, count});
            if (run == 1) {
                texts.push_back(L"正在下载..." + file.name);
                expected.push_back({WM_SETUP_STATUS_TEXT, texts.back().c_str(), 0});
                expected.push_back({kTransfer, file.bytes.size(), file.bytes.size()});
            } else {
                expected.push_back({WM_DOWNLOAD_PROGRESS, 100, 100});
            }
        }
        expected.push_back({WM_DOWNLOAD_COMPLETE, 0, 0});
        EXPECT_TRUE(MatchesSequence(CollapseTransfers(recorder.Messages(), problems), expected));
        EXPECT_EQ(problems, "");

        EXPECT_EQ(info.EstimatedSize, total);
        EXPECT_TRUE(HasBytes(folder + L"\\Client.txt", manifest));
        for (const SampleFile& file : sample) {
            const std::wstring local = folder + L"\\" + file.name;
            EXPECT_TRUE(HasBytes(local, file.bytes)) << std::string(file.name.begin(), file.name.end());
            EXPECT_TRUE(IsReadOnly(local));
        }
    }
}

}  // namespace
