#include "utf8_arguments.h"

namespace qvlink {

Utf8Arguments::Utf8Arguments(int argc, char** argv) : texts_(argv, argv + argc) {
    for (std::string& text : texts_) pointers_.push_back(text.data());
    pointers_.push_back(nullptr);
}

}  // namespace qvlink
