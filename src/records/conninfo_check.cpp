#include "conninfo_check.h"

#include <libpq-fe.h>

#include <memory>

namespace qvlink::records {

Status CheckConnInfo(const std::string& conninfo) {
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(conninfo.c_str(), &error);
    if (!options) {
        std::string cause = error ? error : "out of memory";
        PQfreemem(error);
        while (!cause.empty() && cause.back() == '\n') cause.pop_back();
        return Status::Error("the database setting \"" + conninfo + "\" is not understood", cause);
    }
    const std::unique_ptr<PQconninfoOption, decltype(&PQconninfoFree)> owned(options,
                                                                             PQconninfoFree);
    for (const PQconninfoOption* option = options; option->keyword; ++option) {
        if (std::string(option->keyword) == "password" && option->val && *option->val)
            return Status::Error(
                "the database setting holds a password, which is not kept there",
                "put it in ~/.pgpass (or the file PGPASSFILE names), readable only by its owner, "
                "and leave it out of the setting");
    }
    return Status::Ok();
}

}  // namespace qvlink::records
