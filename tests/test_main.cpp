// The main of every test program: tests never need a display or a sound device, whether
// ctest or a developer starts them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {
// Given "--skipped-exit-code=N" (ctest gives it), a run in which every case that ran was
// skipped, none passed and none failed, ends with N, which ctest shows as a skip: a process
// runs several cases, and its exit code is all ctest reads.
int SkippedExitCode(int argc, char** argv) {
    constexpr const char kFlag[] = "--skipped-exit-code=";
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], kFlag, sizeof kFlag - 1) == 0)
            return std::atoi(argv[i] + sizeof kFlag - 1);
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    testing::InitGoogleTest(&argc, argv);
    const int skippedCode = SkippedExitCode(argc, argv);
    const int result = RUN_ALL_TESTS();
    const testing::UnitTest& run = *testing::UnitTest::GetInstance();
    if (result == 0 && skippedCode != 0 && run.skipped_test_count() > 0 &&
        run.successful_test_count() == 0 && run.failed_test_count() == 0)
        return skippedCode;
    return result;
}
