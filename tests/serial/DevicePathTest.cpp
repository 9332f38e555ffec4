#include <gtest/gtest.h>

#include "serial/DevicePath.h"

namespace kvartix {
namespace {

TEST(DevicePath, windows_prefixes_names_beginning_with_com_in_any_case) {
    EXPECT_EQ(Win32DevicePath("COM3"), "\\\\.\\COM3");
    EXPECT_EQ(Win32DevicePath("com5"), "\\\\.\\com5");
    EXPECT_EQ(Win32DevicePath("\\\\.\\COM12"), "\\\\.\\COM12");
    EXPECT_EQ(Win32DevicePath("MyCOM1"), "MyCOM1");
}

TEST(DevicePath, linux_maps_com_numbers_to_ttyS_and_keeps_everything_else) {
    EXPECT_EQ(PosixDevicePath("COM1"), "/dev/ttyS0");
    EXPECT_EQ(PosixDevicePath("com32"), "/dev/ttyS31");
    EXPECT_EQ(PosixDevicePath("/dev/ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(PosixDevicePath("LOOP:drop=1e-3"), "LOOP:drop=1e-3");
    EXPECT_EQ(PosixDevicePath("COM0"), "COM0");
    EXPECT_EQ(PosixDevicePath("COMX"), "COMX");
    EXPECT_EQ(PosixDevicePath("COM"), "COM");
    EXPECT_EQ(PosixDevicePath("COM1 "), "COM1 ");
}

}  // namespace
}  // namespace kvartix
