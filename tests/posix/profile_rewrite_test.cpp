// profile_rewrite_test.cpp - an INI file rewritten by a process that is
// killed at a random point: the old content or the new one survives whole.
// POSIX only by nature: the stand-in writes the new file beside the old one
// and renames it into place, while Windows and Wine rewrite the file in
// place, where a kill can leave it cut.
#include <signal.h>

#include <chrono>
#include <random>
#include <thread>

#include "fork_child.h"
#include "hbc_test.h"

namespace {

class ProfileRewriteTest : public HbcTest {};

}  // namespace

TEST_F(ProfileRewriteTest, AWriterKilledAtAnyPointLeavesTheOldOrTheNewFileWhole) {
    const wstr path = winPath("big.ini");
    writeBytes(fsPath("big.ini"), "[before]\r\nk=1\r\n[S]\r\nv=0\r\n[after]\r\nk=2\r\n");
    const size_t kUnits = 16000;  // a long value makes every write take a while
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> delay(0, 30000);  // microseconds
    int written = 0;  // rounds whose writer finished a write before it was killed
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        // Writes "v" over and over: kUnits copies of one digit, '#' and the
        // number of the write, whose last digit is that digit.
        pid_t writer = inChild([&] {
            for (unsigned n = 1;; ++n) {
                wstr value =
                    wstr(kUnits, static_cast<WCHAR>(u'0' + n % 10)) + W("#" + std::to_string(n));
                WritePrivateProfileStringW(TEXT("S"), TEXT("v"), value.c_str(), path.c_str());
            }
            return 0;
        });
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        kill(writer, SIGKILL);
        EXPECT_EQ(-1, waitFor(writer));

        std::vector<WCHAR> buffer(kUnits + 64);
        auto read = [&](const WCHAR* section, const WCHAR* key) {
            GetPrivateProfileStringW(section, key, TEXT("(missing)"), buffer.data(),
                                     static_cast<DWORD>(buffer.size()), path.c_str());
            return U8(buffer.data());
        };
        EXPECT_EQ("1", read(TEXT("before"), TEXT("k")));
        EXPECT_EQ("2", read(TEXT("after"), TEXT("k")));
        std::string value = read(TEXT("S"), TEXT("v"));
        if (value == "0") continue;  // killed before its first write
        ++written;
        ASSERT_GT(value.size(), kUnits + 1) << value.substr(0, 40);
        const char digit = value[0];
        EXPECT_EQ(std::string(kUnits, digit) + "#", value.substr(0, kUnits + 1));
        EXPECT_EQ(digit, value.back()) << "the number ends in the digit written with it";
    }
    EXPECT_GT(written, 0) << "no writer ever got as far as a write";
}
