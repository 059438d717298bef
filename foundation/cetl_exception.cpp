// The container and reader error.
#include "cetl_exception.h"

namespace cetl {

exception::exception(const CHAR* message) : m_message(message) {}
exception::exception(const WCHAR* message) : m_message(message) {}
exception::exception(const string& message) : m_message(message) {}
exception::exception(const exception& other) : m_message(other.m_message) {}

exception& exception::operator=(const exception& other) {
    if (this != &other) m_message = other.m_message;
    return *this;
}

exception::~exception() {}

} // namespace cetl
