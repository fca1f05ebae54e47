#pragma once

/// Positions inside Cloud's result arrays, shared by its printer and writers.
namespace cloud_index {

/// The inbound box has corners A..H, stored as corner 0..7.
constexpr int kCornerCount = 8;

// Rows of the corner table.
constexpr int kX = 0;
constexpr int kY = 1;
constexpr int kZ = 2;

// inboundSize is stored height first.
constexpr int kH = 0;
constexpr int kL = 1;
constexpr int kW = 2;

}  // namespace cloud_index
