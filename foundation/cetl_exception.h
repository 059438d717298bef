// cetl::exception: the error the installer's containers and readers throw, by
// value, carrying one fixed English message.
#pragma once

#include "tl_string.h"

namespace cetl {

class exception {
public:
    explicit exception(const CHAR* message);
    explicit exception(const WCHAR* message);
    explicit exception(const string& message);
    exception(const exception& other);
    exception& operator=(const exception& other);
    virtual ~exception();

    const string& message() const { return m_message; }

private:
    string m_message;
};

} // namespace cetl
