#pragma once

#include <QList>

namespace gabblet {

// A list with a fixed number of positions (0 to N-1) that only stores what has
// been written. Reading a position never written gives the default value;
// anything outside the bounds is refused rather than touched.
template <typename T, qsizetype N> class BoundedList {
public:
    static constexpr qsizetype kSize = N;

    T at(qsizetype i) const { return (i >= 0 && i < items_.size()) ? items_.at(i) : T{}; }
    bool set(qsizetype i, T value) {
        if (i < 0 || i >= N)
            return false;
        if (i >= items_.size())
            items_.resize(i + 1);
        items_[i] = std::move(value);
        return true;
    }
    void clear() { items_.clear(); }

private:
    QList<T> items_;
};

} // namespace gabblet
