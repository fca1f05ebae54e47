#pragma once

/// Pallet heights, their correction and the colour-map limits are kept in
/// millimetres, point coordinates in metres.
constexpr float kMillimetresPerMetre = 1000.0f;
