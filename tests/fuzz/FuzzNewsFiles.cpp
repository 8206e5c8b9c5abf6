// The files the news checks keep per user in the application directory: each source's last
// result and each feed's HTTP validators. The first byte picks the file (see kTargets); the
// rest is its content. Properties: what is read keeps its bounds (one-line details within
// their cap, clamped numbers, validators one clean line within theirs), and what is saved
// from it reads back the same.

#include "news/NewsFiles.h"
#include "news/SourceStatus.h"
#include "tests/fuzz/FuzzSupport.h"

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr std::string_view kTargets = "sv";
const std::string kUser = "fuzz";

void WriteFile(const std::string& strPath, std::string_view strBytes) {
    std::FILE* pFile = std::fopen(strPath.c_str(), "wb");
    FUZZ_CHECK(pFile);
    std::fwrite(strBytes.data(), 1, strBytes.size(), pFile);
    std::fclose(pFile);
}

bool IsCleanLine(const std::string& strText, size_t nMaxBytes) {
    if (strText.size() > nMaxBytes) {
        return false;
    }
    for (unsigned char c : strText) {
        if (c < ' ' || c == 0x7F) {
            return false;
        }
    }
    return true;
}

void CheckStatus(std::string_view strBytes) {
    WriteFile(SourceStatusFile(kUser), strBytes);
    const CSourceStatusMap statuses = LoadSourceStatus(kUser);
    for (const auto& [strName, status] : statuses) {
        FUZZ_CHECK(IsCleanLine(status.strDetail, MAX_STATUS_DETAIL));
        FUZZ_CHECK(status.nHttpStatus >= 0 && status.nHttpStatus <= 999);
        FUZZ_CHECK(status.lastNew >= 0);
    }
    FUZZ_CHECK(SaveSourceStatus(kUser, statuses));
    FUZZ_CHECK(LoadSourceStatus(kUser) == statuses);
}

void CheckValidators(std::string_view strBytes) {
    WriteFile(FeedValidatorsFile(kUser), strBytes);
    const CFeedValidatorsMap validators = LoadFeedValidators(kUser);
    for (const auto& [strAddress, entry] : validators) {
        FUZZ_CHECK(!entry.Empty());
        FUZZ_CHECK(IsCleanLine(entry.strETag, MAX_HTTP_VALIDATOR));
        FUZZ_CHECK(IsCleanLine(entry.strLastModified, MAX_HTTP_VALIDATOR));
    }
    FUZZ_CHECK(SaveFeedValidators(kUser, validators));
    FUZZ_CHECK(LoadFeedValidators(kUser) == validators);
}

}  // namespace

// The files live in the working directory, the application directory: a scratch one here,
// removed at exit.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static char s_szDir[] = "/tmp/vocalon-fuzz-files.XXXXXX";
    if (!mkdtemp(s_szDir) || chdir(s_szDir) != 0) {
        std::abort();
    }
    std::atexit([] {
        std::remove(SourceStatusFile(kUser).c_str());
        std::remove(FeedValidatorsFile(kUser).c_str());
        rmdir(s_szDir);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    const fuzz_support::CInput input = fuzz_support::SplitInput(pData, nSize, kTargets);
    switch (kTargets[input.nTarget]) {
        case 's': CheckStatus(input.strBody); break;
        case 'v': CheckValidators(input.strBody); break;
    }
    return 0;
}
