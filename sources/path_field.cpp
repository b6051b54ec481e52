#include "sources/path_field.h"

namespace zv {

bool fits_path_field(std::string_view path) {
    return !path.empty() && path.size() < PATH_FIELD_BYTES &&
           path.find('\0') == std::string_view::npos;
}

}  // namespace zv
