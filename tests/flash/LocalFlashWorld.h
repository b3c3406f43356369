#pragma once
#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "flash/LocalFlash.h"
#include "platform/DeviceIo.h"
#include "platform/FileReader.h"
#include "image/FirmwareMarker.h"
#include "printer/discovery/Discovery.h"
#include "tests/discovery/DiscoveryWorld.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

namespace kv::testing {

using Bytes = std::vector<uint8_t>;

// Forwards to other controls (recording ones, or a window's), keeps each
// text with the virtual time it was set at, and runs a hook after every
// change (on the changing thread), so a test can act at an exact point of a
// flash.
class HookedControls final : public platform::DialogControls {
public:
    using Kind = platform::sim::RecordingDialogControls::Kind;
    using Hook = std::function<void(Kind, platform::Control, const std::string&)>;
    struct Timed {
        uint64_t atMs;
        std::string text;
        friend bool operator==(const Timed&, const Timed&) = default;
    };

    HookedControls(platform::DialogControls& inner, platform::Clock& clock)
        : inner_(inner), clock_(clock) {}

    void setHook(Hook hook) {
        std::lock_guard lock(mutex_);
        hook_ = std::move(hook);
    }

    void setText(platform::Control control, const std::string& text) override {
        {
            std::lock_guard lock(mutex_);
            timed_[control].push_back({clock_.tickMs(), text});
        }
        inner_.setText(control, text);
        run(Kind::Text, control, text);
    }
    void enable(platform::Control control, bool enabled) override {
        inner_.enable(control, enabled);
        run(enabled ? Kind::Enable : Kind::Disable, control, {});
    }
    void show(platform::Control control, bool visible) override {
        inner_.show(control, visible);
        run(visible ? Kind::Show : Kind::Hide, control, {});
    }
    void setProgress(const platform::TransferProgress& progress) override {
        inner_.setProgress(progress);
    }
    void setImageFacts(const std::optional<platform::ImageFacts>& facts) override {
        inner_.setImageFacts(facts);
    }
    void setVerification(const std::optional<platform::Verification>& verification) override {
        inner_.setVerification(verification);
    }

    // Every text of a control with its time, from `sinceMs` on.
    std::vector<Timed> timed(platform::Control control, uint64_t sinceMs = 0) const {
        std::lock_guard lock(mutex_);
        std::vector<Timed> out;
        auto it = timed_.find(control);
        if (it == timed_.end()) return out;
        for (const Timed& t : it->second)
            if (t.atMs >= sinceMs) out.push_back(t);
        return out;
    }

private:
    void run(Kind kind, platform::Control control, const std::string& text) {
        Hook hook;
        {
            std::lock_guard lock(mutex_);
            hook = hook_;
        }
        if (hook) hook(kind, control, text);
    }

    platform::DialogControls& inner_;
    platform::Clock& clock_;
    mutable std::mutex mutex_;
    Hook hook_;
    std::map<platform::Control, std::vector<Timed>> timed_;
};

// Forwards to the simulated devices; records the size of every write (and,
// in the same order, every discarding of stale input as 0), and fails the
// writes a test picks (with an I/O error code).
class FaultyDeviceIo final : public platform::DeviceIo {
public:
    static constexpr uint32_t kInjectedError = 5;  // EIO
    // Gets the bytes offered; true fails the write.
    using WritePredicate = std::function<bool(const uint8_t* data, size_t length)>;

    explicit FaultyDeviceIo(platform::DeviceIo& inner) : inner_(inner) {}

    void failWritesWhen(WritePredicate predicate) {
        std::lock_guard lock(mutex_);
        failWrite_ = std::move(predicate);
    }
    std::vector<size_t> writeSizes() const {
        std::lock_guard lock(mutex_);
        std::vector<size_t> out;
        for (size_t n : events_)
            if (n != kDiscard) out.push_back(n);
        return out;
    }
    static constexpr size_t kDiscard = 0;
    // Write sizes and discards, in the order they came.
    std::vector<size_t> events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }

    platform::DeviceHandle open(const std::string& path, platform::ShareMode share) override {
        return keep(inner_.open(path, share));
    }
    bool read(platform::DeviceHandle h, uint8_t* buffer, size_t capacity,
              size_t& obtained) override {
        return keep(inner_.read(h, buffer, capacity, obtained));
    }
    bool write(platform::DeviceHandle h, const uint8_t* data, size_t length,
               size_t& taken) override {
        bool fail = false;
        {
            std::lock_guard lock(mutex_);
            events_.push_back(length);
            fail = failWrite_ && failWrite_(data, length);
        }
        if (fail) {
            taken = 0;
            std::lock_guard lock(mutex_);
            injected_[std::this_thread::get_id()] = true;
            return false;
        }
        return keep(inner_.write(h, data, length, taken));
    }
    bool queryDeviceId(platform::DeviceHandle h, uint8_t* buffer, size_t capacity,
                       size_t& obtained) override {
        return keep(inner_.queryDeviceId(h, buffer, capacity, obtained));
    }
    bool getCommTimeouts(platform::DeviceHandle h, platform::CommTimeouts& t) override {
        return keep(inner_.getCommTimeouts(h, t));
    }
    bool setCommTimeouts(platform::DeviceHandle h, const platform::CommTimeouts& t) override {
        return keep(inner_.setCommTimeouts(h, t));
    }
    size_t discardStaleInput(platform::DeviceHandle h) override {
        {
            std::lock_guard lock(mutex_);
            events_.push_back(kDiscard);
        }
        return inner_.discardStaleInput(h);
    }
    bool close(platform::DeviceHandle h) override { return keep(inner_.close(h)); }
    uint32_t lastError() const override {
        std::lock_guard lock(mutex_);
        auto it = injected_.find(std::this_thread::get_id());
        if (it != injected_.end() && it->second) return kInjectedError;
        return inner_.lastError();
    }

private:
    // A real failure makes the inner code the one to report again.
    template <typename T>
    T keep(T result) {
        if (!ok(result)) {
            std::lock_guard lock(mutex_);
            injected_[std::this_thread::get_id()] = false;
        }
        return result;
    }
    static bool ok(bool b) { return b; }
    static bool ok(platform::DeviceHandle h) { return h.valid(); }

    platform::DeviceIo& inner_;
    mutable std::mutex mutex_;
    WritePredicate failWrite_;
    std::vector<size_t> events_;
    std::map<std::thread::id, bool> injected_;
};

// The host's files, with a read error (EIO, in the system's words) once a
// file opened here has given `failAfter` bytes, as a failing disk would.
class FaultyFileReader final : public platform::FileReader {
public:
    static constexpr const char* kErrorText = "Input/output error";
    explicit FaultyFileReader(platform::FileReader& inner) : inner_(inner) {}
    void failReadsAfter(std::optional<uint64_t> bytes) { failAfter_ = bytes; }

    platform::Result<std::unique_ptr<platform::ReadableFile>> openRegular(
        const std::string& path) override {
        auto opened = inner_.openRegular(path);
        if (opened && failAfter_) return std::make_unique<File>(std::move(*opened), *failAfter_);
        return opened;
    }

private:
    class File final : public platform::ReadableFile {
    public:
        File(std::unique_ptr<platform::ReadableFile> inner, uint64_t left)
            : inner_(std::move(inner)), left_(left) {}
        uint64_t size() const override { return inner_->size(); }
        platform::Result<size_t> read(uint8_t* buffer, size_t capacity) override {
            if (left_ == 0) return platform::Failure{kErrorText};
            auto got = inner_->read(buffer, std::min<uint64_t>(capacity, left_));
            if (got) left_ -= *got;
            return got;
        }

    private:
        std::unique_ptr<platform::ReadableFile> inner_;
        uint64_t left_;
    };

    platform::FileReader& inner_;
    std::optional<uint64_t> failAfter_;
};

// A local flash world: one printer at a local port, an image file, the
// services of discovery with the hooked controls and the fault-injecting
// device I/O in front.
struct LocalFlashWorld : DiscoveryWorld {
    FaultyDeviceIo faulty{io};
    FaultyFileReader files{*hostFileReader};
    HookedControls hooked{controls, clock};
    testing::TempDir dir;
    std::shared_ptr<emulator::PrinterModel> printer;
    std::string port;  // the device path or "LPT1:"

    LocalFlashWorld() {
        sys.wired.deviceIo = &faulty;
        sys.wired.fileReader = &files;
        wireFrontEnd(ctx, ui, hooked);
    }

    // Attaches the printer at a USB path or at LPT1.
    void attach(emulator::PrinterConfig config) {
        printer = model(config);
        if (config.link == emulator::LinkKind::Parallel) {
            port = "LPT1:";
            plugParallel(port, printer);
        } else {
            const bool zor = config.zor1Family;
            port = plugUsb(printer, zor ? "zor12-0001" : kZowSerial);
        }
    }

    // The image file the flash sends; firmwareFileName names it.
    void image(const Bytes& bytes, const std::string& name = "image.bin") {
        const std::string path = dir.file(name);
        testing::writeAll(path, bytes);
        state.firmwareFileName = path;
    }

    // Find Printer, as the user presses it first.
    void find() { refreshPrinterList(ctx, state.printerData); }

    // Flash Printer NOW, and the wait for the worker when one started.
    struct Outcome {
        bool started = false;
        bool ended = false;
    };
    Outcome flash() {
        Outcome out;
        out.started = FlashPrinterNow(ctx, hooked, state.printerData);
        if (out.started) {
            ++workersStarted;
            out.ended = state.workerSignal.waitForWorkerEnd();
        }
        return out;
    }
};

// An image of `size` pseudo-random bytes carrying "FWV:<version>;" near its
// start (when it has room).
inline Bytes imageBytes(size_t size, const std::string& version = "V2.50", uint32_t seed = 7) {
    Bytes bytes = testing::pseudoRandomBytes(size, seed);
    const std::string marker = "FWV:" + version + ";";
    if (size >= marker.size() + 16) std::copy(marker.begin(), marker.end(), bytes.begin() + 16);
    return bytes;
}

}  // namespace kv::testing
