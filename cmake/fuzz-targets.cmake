# The libFuzzer targets: name, then source in fuzz/. Each has its seed
# corpus in fuzz/corpus/<name>.
set(KVFLASH_FUZZ_TARGETS
  device-id DeviceIdFuzz.cpp
  status-reply StatusReplyFuzz.cpp
  firmware-file FirmwareFileFuzz.cpp
  journal JournalFuzz.cpp
  address AddressFuzz.cpp
  options OptionsFuzz.cpp
  emulator EmulatorFuzz.cpp)
