#include <lib/cm/Object>

#include <cstdio>
#include <vector>

namespace zqbase {

object_refcount::~object_refcount() = default;

void object_refcount::retain() const {
    references_.fetch_add(1, std::memory_order_relaxed);
}

void object_refcount::release() const {
    if (references_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
}

int object_refcount::retainCount() const {
    return references_.load(std::memory_order_relaxed);
}

} // namespace zqbase

namespace ZQ {

CString CString::createWithFormat(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    std::vector<char> text(length > 0 ? static_cast<std::size_t>(length) + 1 : 1, '\0');
    if (length > 0) std::vsnprintf(text.data(), text.size(), format, args);
    va_end(args);
    return CString(std::string(text.data()));
}

CException::CException(const char* name, int line, const char* file, const char* function,
                       const CString& message)
    : name_(name), line_(line), file_(file), function_(function), message_(message),
      what_(name_ + ": " + message_.str()) {}

} // namespace ZQ
