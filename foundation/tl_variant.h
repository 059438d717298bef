// A value of one of three kinds (a long, a double or a text) that can be read
// as a number of either kind: the argument of a formatted message and the
// value of a property.
#pragma once

#include "tl_string.h"

class Variant {
public:
    enum Kind { kLong = 0, kDouble = 1, kString = 2 };

    Variant() : kind_(kLong), long_(0), double_(0.0) {}
    explicit Variant(LONG value) : kind_(kLong), long_(value), double_(0.0) {}
    explicit Variant(double value) : kind_(kDouble), long_(0), double_(value) {}
    explicit Variant(const string& value) : kind_(kString), long_(0), double_(0.0), text_(value) {}

    Kind GetKind() const { return kind_; }
    // A double is truncated toward zero (saturating at the ends of the
    // range, NaN reads as 0); a text is parsed as a decimal number.
    LONG AsLong() const;
    // A long converts exactly; a text is parsed as a decimal fraction.
    double AsDouble() const;
    // The text of a text value; empty for numbers.
    const string& AsString() const { return text_; }

private:
    Kind kind_;
    LONG long_;
    double double_;
    string text_;
};
