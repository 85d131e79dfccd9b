// Precompiled for the tests without windows: GoogleTest and the standard library.
#pragma once
#include <gtest/gtest.h>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>
