#include "emulator/sim/SimDeviceIo.h"

#include <algorithm>
#include <stdexcept>

#include "platform/Ascii.h"

namespace kv::emulator {

std::string SimDeviceIo::key(const std::string& path) { return platform::asciiLowerCase(path); }

SimDeviceIo::Device& SimDeviceIo::deviceAt(const std::string& path) const {
    auto it = devices_.find(key(path));
    if (it == devices_.end()) throw std::out_of_range("no simulated device at " + path);
    return *it->second;
}

void SimDeviceIo::fail(uint32_t code) { lastErrors_[std::this_thread::get_id()] = code; }

SimDeviceIo::Device* SimDeviceIo::usable(DeviceHandle handle) {
    auto it = handles_.find(handle.value);
    if (!handle.valid() || it == handles_.end()) {
        fail(SimErrors::badHandle);
        return nullptr;
    }
    if (!it->second.device->attached) {
        fail(SimErrors::gone);
        return nullptr;
    }
    return it->second.device.get();
}

void SimDeviceIo::attach(const std::string& path, std::shared_ptr<emulator::PrinterModel> model,
                         SimDeviceOptions options) {
    std::lock_guard lock(mutex_);
    auto& slot = devices_[key(path)];
    if (slot) slot->attached = false;
    slot = std::make_shared<Device>();
    slot->model = std::move(model);
    slot->options = options;
}

void SimDeviceIo::detach(const std::string& path) {
    std::lock_guard lock(mutex_);
    deviceAt(path).attached = false;
}

void SimDeviceIo::setOptions(const std::string& path, const SimDeviceOptions& options) {
    std::lock_guard lock(mutex_);
    deviceAt(path).options = options;
}

SimDeviceOptions SimDeviceIo::options(const std::string& path) const {
    std::lock_guard lock(mutex_);
    return deviceAt(path).options;
}

void SimDeviceIo::queueRead(const std::string& path, std::vector<uint8_t> chunk) {
    std::lock_guard lock(mutex_);
    if (!chunk.empty()) deviceAt(path).scripted.push_back(std::move(chunk));
}

void SimDeviceIo::setDeviceTimeouts(const std::string& path, const CommTimeouts& timeouts) {
    std::lock_guard lock(mutex_);
    deviceAt(path).timeouts = timeouts;
}

CommTimeouts SimDeviceIo::deviceTimeouts(const std::string& path) const {
    std::lock_guard lock(mutex_);
    return deviceAt(path).timeouts;
}

std::vector<uint8_t> SimDeviceIo::written(const std::string& path) const {
    std::lock_guard lock(mutex_);
    return deviceAt(path).written;
}

size_t SimDeviceIo::writeCalls(const std::string& path) const {
    std::lock_guard lock(mutex_);
    return deviceAt(path).writeCalls;
}

size_t SimDeviceIo::readCalls(const std::string& path) const {
    std::lock_guard lock(mutex_);
    return deviceAt(path).readCalls;
}

size_t SimDeviceIo::deviceIdQueries(const std::string& path) const {
    std::lock_guard lock(mutex_);
    return deviceAt(path).deviceIdQueries;
}

void SimDeviceIo::clearRecords(const std::string& path) {
    std::lock_guard lock(mutex_);
    Device& d = deviceAt(path);
    d.written.clear();
    d.writeCalls = d.readCalls = d.deviceIdQueries = 0;
}

size_t SimDeviceIo::openHandles(const std::string& path) const {
    std::lock_guard lock(mutex_);
    const Device* d = &deviceAt(path);
    return static_cast<size_t>(std::count_if(handles_.begin(), handles_.end(), [d](const auto& h) {
        return h.second.device.get() == d;
    }));
}

size_t SimDeviceIo::openHandles() const {
    std::lock_guard lock(mutex_);
    return handles_.size();
}

DeviceHandle SimDeviceIo::open(const std::string& path, ShareMode share) {
    std::lock_guard lock(mutex_);
    auto it = devices_.find(key(path));
    if (it == devices_.end() || !it->second->attached || it->second->options.openFails) {
        fail(SimErrors::notFound);
        return DeviceHandle::invalid();
    }
    const auto& device = it->second;
    for (const auto& [value, h] : handles_) {
        if (h.device != device) continue;
        if (share == ShareMode::Exclusive || h.share == ShareMode::Exclusive) {
            fail(SimErrors::busy);
            return DeviceHandle::invalid();
        }
    }
    const int64_t value = nextHandle_++;
    handles_.emplace(value, OpenHandle{device, share});
    return DeviceHandle{value};
}

bool SimDeviceIo::read(DeviceHandle handle, uint8_t* buffer, size_t capacity, size_t& obtained) {
    std::lock_guard lock(mutex_);
    obtained = 0;
    Device* d = usable(handle);
    if (!d) return false;
    ++d->readCalls;
    if (d->options.readFails) {
        fail(SimErrors::ioFailure);
        return false;
    }
    if (d->options.silentReads > 0) {
        --d->options.silentReads;
        return true;
    }
    size_t limit = capacity;
    if (d->options.readBurst != 0) limit = std::min(limit, d->options.readBurst);
    if (limit == 0 || !buffer) return true;
    if (!d->scripted.empty()) {
        auto& chunk = d->scripted.front();
        obtained = std::min(limit, chunk.size());
        std::copy_n(chunk.begin(), obtained, buffer);
        chunk.erase(chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(obtained));
        if (chunk.empty()) d->scripted.pop_front();
        return true;
    }
    if (d->model) {
        const std::vector<uint8_t> bytes = d->model->read(limit);
        obtained = std::min(limit, bytes.size());
        std::copy_n(bytes.begin(), obtained, buffer);
    }
    return true;
}

bool SimDeviceIo::write(DeviceHandle handle, const uint8_t* data, size_t length, size_t& taken) {
    std::lock_guard lock(mutex_);
    taken = 0;
    Device* d = usable(handle);
    if (!d) return false;
    ++d->writeCalls;
    if (d->options.writeFails) {
        fail(SimErrors::ioFailure);
        return false;
    }
    if (!data) length = 0;
    size_t offered = length;
    if (d->options.writeLimit != 0) offered = std::min(offered, d->options.writeLimit);
    taken = d->model ? std::min(offered, d->model->write(data, offered)) : offered;
    const uint64_t room =
        d->options.keepWritten > d->written.size() ? d->options.keepWritten - d->written.size() : 0;
    d->written.insert(d->written.end(), data,
                      data + static_cast<size_t>(std::min<uint64_t>(taken, room)));
    return true;
}

bool SimDeviceIo::queryDeviceId(DeviceHandle handle, uint8_t* buffer, size_t capacity,
                                size_t& obtained) {
    std::lock_guard lock(mutex_);
    obtained = 0;
    Device* d = usable(handle);
    if (!d) return false;
    ++d->deviceIdQueries;
    std::optional<std::string> id;
    if (d->model && !d->options.deviceIdFails) id = d->model->queryDeviceId();
    if (!id) {
        fail(SimErrors::ioFailure);
        return false;
    }
    obtained = buffer ? std::min(capacity, id->size()) : 0;
    std::copy_n(id->begin(), obtained, buffer);
    return true;
}

bool SimDeviceIo::getCommTimeouts(DeviceHandle handle, CommTimeouts& timeouts) {
    std::lock_guard lock(mutex_);
    Device* d = usable(handle);
    if (!d) return false;
    if (d->options.getTimeoutsFails) {
        fail(SimErrors::ioFailure);
        return false;
    }
    timeouts = d->timeouts;
    return true;
}

bool SimDeviceIo::setCommTimeouts(DeviceHandle handle, const CommTimeouts& timeouts) {
    std::lock_guard lock(mutex_);
    Device* d = usable(handle);
    if (!d) return false;
    if (d->options.setTimeoutsFails) {
        fail(SimErrors::ioFailure);
        return false;
    }
    d->timeouts = timeouts;
    return true;
}

bool SimDeviceIo::close(DeviceHandle handle) {
    std::lock_guard lock(mutex_);
    if (!handle.valid() || handles_.erase(handle.value) == 0) {
        fail(SimErrors::badHandle);
        return false;
    }
    return true;
}

uint32_t SimDeviceIo::lastError() const {
    std::lock_guard lock(mutex_);
    auto it = lastErrors_.find(std::this_thread::get_id());
    return it == lastErrors_.end() ? 0 : it->second;
}

}  // namespace kv::emulator
