// Report descriptors shared by the descriptor parser tests.
#pragma once

#include <cstdint>
#include <vector>

namespace kr35::test {

// The adapter's layout: vendor collection with output report 2 (a 62-byte
// command array and one more byte: 64 bytes with the id), in a nested
// consumer collection input report 1 with a button code byte and three 1-bit
// buttons, then input report 3 with the 5-byte response array. The response
// array is the last input value capability: the channel clears its latch
// before asking each input value capability in turn, so the last one wins.
// clang-format off
inline const std::vector<std::uint8_t> kAdapterDescriptor = {
    0x06, 0x00, 0xFF,              // Usage Page (vendor 0xFF00)
    0x09, 0x01,                    // Usage (1)
    0xA1, 0x01,                    // Collection (Application)
    0x15, 0x00, 0x26, 0xFF, 0x00,  //   Logical Minimum (0), Logical Maximum (255)
    0x75, 0x08,                    //   Report Size (8)
    0x85, 0x02,                    //   Report ID (2)
    0x95, 0x3E, 0x09, 0x02,        //   Report Count (62), Usage (2)
    0x91, 0x02,                    //   Output (Data, Variable)
    0x95, 0x01, 0x09, 0x03,        //   Report Count (1), Usage (3)
    0x91, 0x02,                    //   Output (Data, Variable)
    0x05, 0x0C, 0x09, 0x01,        //   Usage Page (Consumer), Usage (Consumer Control)
    0xA1, 0x02,                    //   Collection (Logical)
    0x85, 0x01,                    //     Report ID (1)
    0x95, 0x01,                    //     Report Count (1)
    0x0B, 0x05, 0x00, 0x00, 0xFF,  //     Usage (vendor 0xFF00:5), extended
    0x81, 0x02,                    //     Input (Data, Variable): the button code
    0x25, 0x01, 0x75, 0x01,        //     Logical Maximum (1), Report Size (1)
    0x95, 0x03,                    //     Report Count (3)
    0x09, 0xE2, 0x09, 0xE9, 0x09, 0xEA,  //     Usage (Mute, Volume Up, Volume Down)
    0x81, 0x02,                    //     Input (Data, Variable)
    0x95, 0x05, 0x81, 0x03,        //     5 bits of padding: Input (Constant)
    0xC0,                          //   End Collection
    0x06, 0x00, 0xFF,              //   Usage Page (vendor 0xFF00)
    0x26, 0xFF, 0x00, 0x75, 0x08,  //   Logical Maximum (255), Report Size (8)
    0x85, 0x03,                    //   Report ID (3)
    0x95, 0x05, 0x09, 0x04,        //   Report Count (5), Usage (4)
    0x81, 0x02,                    //   Input (Data, Variable)
    0xC0,                          // End Collection
};
// clang-format on

}  // namespace kr35::test
