// What checking an image's signature costs before a flash: a 64 MiB image
// (by default) signed with Debian's minisign, read whole as a flash with
// checking on reads it, with and without the check over those bytes; and
// the peak resident memory of a process that reads and checks it. Not a
// test: run it by hand (see the README).
//
//   kvflash-signature-bench [--mebibytes N] [--runs N]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "image/Crypto.h"
#include "image/FileBytes.h"
#include "image/ImageTool.h"
#include "image/SignatureCheck.h"
#include "image/TrustedKeyFiles.h"
#include "platform/linux/LinuxKeyFolders.h"
#include "platform/linux/PosixFileReader.h"

namespace {

using Clock = std::chrono::steady_clock;

// This process's processor time so far, in seconds: on a shared machine
// less at the mercy of the others than the wall time.
double cpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Reads the image whole; with `check`, judges its signature over the bytes.
bool readAndCheck(const std::string& image, const std::string& keys, bool check) {
    kv::platform::linux_impl::PosixFileReader files;
    kv::platform::linux_impl::LinuxKeyFolders folders("/nonexistent");
    const kv::FileBytes file = kv::readFileBytes(files, image);
    if (file.status != kv::FileBytes::Status::Ok) return false;
    if (!check) return true;
    const kv::platform::TrustedKeys trust = kv::loadTrustedKeys(files, folders, keys);
    const std::string digest = kv::crypto::digestOf(kv::crypto::Hash::Kind::Blake2b512,
                                                    file.bytes.data(), file.bytes.size());
    return kv::checkImageSignature(files, trust, image, digest).good();
}

// The peak resident memory, in KiB, of a child that does `work`.
long peakKiB(bool (*work)(const std::string&, const std::string&, bool), const std::string& a,
             const std::string& b, bool check) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(work(a, b, check) ? 0 : 1);
    int status = 0;
    rusage usage{};
    if (::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_maxrss;
}

bool nothing(const std::string&, const std::string&, bool) { return true; }

}  // namespace

int main(int argc, char** argv) {
    size_t mebibytes = 64;
    int runs = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--mebibytes") mebibytes = std::strtoul(argv[i + 1], nullptr, 10);
        if (name == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));
    }
    if (std::system("minisign -v >/dev/null 2>&1") != 0) {
        std::fprintf(stderr, "kvflash-signature-bench: needs minisign (Debian package minisign)\n");
        return 2;
    }
    char folder[] = "/tmp/kvflash-signature-bench.XXXXXX";
    if (!::mkdtemp(folder)) return 3;
    const std::string dir = folder, image = dir + "/image.bin", keys = dir + "/keys";
    std::string why;
    if (!kv::writeFileBytes(image, kv::makeTestPayload("V9.99", mebibytes << 20), &why)) return 3;
    const std::string make = "mkdir -p " + keys + " && minisign -G -W -p " + keys +
                             "/bench.pub -s " + dir + "/bench.key >/dev/null && minisign -S -s " +
                             dir + "/bench.key -m " + image + " -t bench >/dev/null";
    if (std::system(make.c_str()) != 0) return 3;

    std::vector<double> plain, checked, plainCpu, checkedCpu;
    for (int r = 0; r < runs; ++r) {
        for (const bool check : {false, true}) {
            const auto start = Clock::now();
            const double cpuStart = cpuSeconds();
            if (!readAndCheck(image, keys, check)) {
                std::fprintf(stderr, "kvflash-signature-bench: the check failed\n");
                return 1;
            }
            const double s = std::chrono::duration<double>(Clock::now() - start).count();
            (check ? checked : plain).push_back(s);
            (check ? checkedCpu : plainCpu).push_back(cpuSeconds() - cpuStart);
        }
    }
    const long base = peakKiB(nothing, image, keys, false);
    const long peak = peakKiB(readAndCheck, image, keys, true);
    std::printf("image: %zu MiB, %d runs each (medians)\n", mebibytes, runs);
    std::printf("                            wall      processor\n");
    std::printf("read whole:                 %.3f s   %.3f s\n", median(plain), median(plainCpu));
    std::printf("read whole and check:       %.3f s   %.3f s\n", median(checked),
                median(checkedCpu));
    std::printf("the check adds:             %.3f s   %.3f s (at most 0.5 s wanted)\n",
                median(checked) - median(plain), median(checkedCpu) - median(plainCpu));
    std::printf("peak resident, read+check:  %ld KiB (a process doing nothing: %ld KiB)\n", peak,
                base);
    std::printf("beyond the image:           %.1f MiB (at most 16 MiB wanted)\n",
                (peak - base) / 1024.0 - static_cast<double>(mebibytes));
    std::system(("rm -rf " + dir).c_str());
    return 0;
}
