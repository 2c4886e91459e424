// Installs a sample client from the reference download server (a real nginx
// that nginx_e2e.sh starts on a loopback port), then runs again and keeps
// every file as current, with the default number of transfers at once.
// Started by nginx_e2e.sh, which passes:
//   QXT_E2E_HOST      host:port of the server
//   QXT_E2E_FILES     Windows path of the server's files folder
//   QXT_E2E_MANIFEST  Windows path of the manifest the server hands out
#include "download/DownloadClientFiles.h"

#include "core/SetupMessages.h"
#include "tests/support/DownloadTestSupport.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/TestPaths.h"
#include "tests/support/WholeDownload.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
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

    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE(run == 1 ? "fresh install" : "second run");
        recorder.Clear();
        info.EstimatedSize = 0;

        EXPECT_EQ(DownloadClientFiles(host.c_str(), &cancel, recorder.Window(), info), TRUE);

        // The files come side by side: what holds is the shape of the run,
        // not the order the transfers finish in.
        WholeDownloadShape shape;
        for (const SampleFile& file : sample) {
            shape.checked.push_back(file.name);
            if (run == 1)
                shape.fetched.push_back(file.name);
        }
        shape.kept = run == 1 ? 0 : sample.size();
        shape.count = sample.size();
        shape.upper = sample.size();  // a plain list: the bar counts files
        EXPECT_EQ(WholeDownloadProblems(recorder.Messages(), shape), "");

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
