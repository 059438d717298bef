// Properties: the key/value set read from a skin's text, keys compared without
// case; each value keeps its text and the number that the reader takes from it.
#pragma once

#include "cetl_map.h"
#include "tl_string.h"

struct PropertiesValue {
    string text;
    // Set by the reader of the property text; the set itself gives it no meaning.
    LONG number;

    PropertiesValue() : number(0) {}
    PropertiesValue(const string& valueText, LONG valueNumber) : text(valueText), number(valueNumber) {}
    PropertiesValue(const PropertiesValue& other) : text(other.text), number(other.number) {}
    PropertiesValue& operator=(const PropertiesValue& other) {
        if (this != &other) {
            text = other.text;
            number = other.number;
        }
        return *this;
    }
};

class Properties : public cetl::stringmap<PropertiesValue> {
public:
    Properties() : cetl::stringmap<PropertiesValue>(0.79f, 32) {}
};
