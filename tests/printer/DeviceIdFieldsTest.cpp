#include <gtest/gtest.h>

#include "printer/DeviceIdFields.h"

namespace kv {
namespace {

// Which device counts as a KV printer in a run of many: read as pairs, never
// by a substring anywhere in the text.
TEST(DeviceIdFields, KvPrinterByMakerModelAndFirmware) {
    const std::vector<std::string> makers{"KV", "Kv Systems"};
    const struct {
        const char* id;
        bool kv;
    } cases[] = {
        {"MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.12;", true},
        {"mfg:kv;mdl:ZOW3004F", true},                       // any case, no last ';'
        {"MANUFACTURER:KV SYSTEMS;MDL:X;", true},            // the other key, a --maker
        {" MFG : KV ;MDL: ZOW3004F;", true},                 // spaces around
        {"CMD:FGL;MDL:ZOW3004F;FWV:V5.12;", true},           // no maker, its firmware
        {"MFG:ACME;CMD:PCL;MDL:LJ100;CLS:PRINTER;", false},  // another maker
        {"MFG:ACME;MDL:KV;FWV:V5.12;", false},               // "KV" elsewhere is no maker
        {"MFG:KVX;MDL:ZOW3004F;", false},                    // the whole value
        {"MFG:KV;CMD:FGL;CLS:PRINTER;", false},              // no model
        {"CMD:FGL;MDL:ZOW3004F;", false},                    // no maker and no firmware
        {"DES:MDL:ZOW3004F MFG:KV;", false},                 // keys inside a value
        {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(isKvPrinterId(c.id, makers), c.kv) << c.id;
}

}  // namespace
}  // namespace kv
