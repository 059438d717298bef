// Reading a variant as a number of either kind.
#include "tl_variant.h"

LONG Variant::AsLong() const {
    switch (kind_) {
    case kLong:
        return long_;
    case kDouble:
        // Out-of-range and NaN conversions would be undefined; they saturate.
        if (!(double_ == double_)) return 0;
        if (double_ >= 2147483647.0) return 0x7FFFFFFF;
        if (double_ <= -2147483648.0) return static_cast<LONG>(0x80000000u);
        return static_cast<LONG>(double_);
    case kString:
        return ParseLong(text_.Psz());
    }
    return 0;
}

double Variant::AsDouble() const {
    switch (kind_) {
    case kLong:
        return long_;
    case kDouble:
        return double_;
    case kString:
        return ParseDouble(text_.Psz());
    }
    return 0.0;
}
