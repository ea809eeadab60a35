#include "util/error.h"

namespace tarq {

namespace {

std::string_view display_prefix(ErrorKind kind) noexcept {
    switch (kind) {
        case ErrorKind::NetCdf: return "NetCDF error: ";
        case ErrorKind::VarNotFound: return "variable not found in TARQ file: ";
        case ErrorKind::AttrNotFound: return "global attribute not found: ";
        case ErrorKind::AttrType: return "unexpected attribute type: ";
        case ErrorKind::DimMismatch: return "dimension mismatch: ";
        case ErrorKind::UnknownVar: return "unknown variable: ";
        case ErrorKind::UnitConversion: return "unit conversion error: ";
        case ErrorKind::InvalidParam: return "invalid parameter: ";
        case ErrorKind::Compute: return "computation error: ";
    }
    return "";
}

}  // namespace

std::string TarqError::display() const {
    std::string text(display_prefix(kind));
    text += message;
    return text;
}

}  // namespace tarq
