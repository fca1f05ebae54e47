#pragma once

#include <algorithm>
#include <cstddef>
#include <type_traits>
#include <vector>

#include "measure/FloatSelection.h"

/// The median of the values as the element at size / 2 in order (the upper
/// of the two middle ones of an even count), found by partial sorting: the
/// values are reordered. They must not be empty.
template <class T>
T UpperMedian(std::vector<T>& values) {
    if constexpr (std::is_same<T, float>::value) {
        return SelectFloat(values, values.size() / 2);
    } else {
        const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
        std::nth_element(values.begin(), middle, values.end());
        return *middle;
    }
}
