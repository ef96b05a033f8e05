// The outcome of loading or checking a firmware file. A refusal carries the operator's exact
// text and the kind of box it belongs in; the format logic itself never shows anything.
#pragma once

#include <string>

namespace qvlink {

enum class MessageChannel {
    None,         // nothing to show
    Dialog,       // the dialog's own box: caption "Quorvane Link 1.1", no icon
    Application,  // the application's box: the program's name as caption, warning icon
};

struct LoadResult {
    bool ok = true;
    std::string message;
    MessageChannel channel = MessageChannel::None;

    static LoadResult Accepted() { return {}; }
    static LoadResult Refused(std::string text, MessageChannel where) {
        return {false, std::move(text), where};
    }
};

}  // namespace qvlink
