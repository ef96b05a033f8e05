#include "record_sql.h"

#include <algorithm>
#include <map>
#include <vector>

#include "record_counting.h"
#include "record_fields.h"

namespace qvlink::record {

std::string RecordColumnsSql() {
    std::string sql;
    for (const RecordField& field : RECORD_FIELDS) {
        sql += "    ";
        sql += field.column;
        sql += ' ';
        sql += field.sqlType;
        sql += field.key ? " PRIMARY KEY" : Nullable(field) ? "" : " NOT NULL";
        sql += ",\n";
    }
    return sql;
}

std::string RecordColumnList() {
    std::string list;
    for (const RecordField& field : RECORD_FIELDS) {
        if (!list.empty()) list += ", ";
        list += field.column;
    }
    return list;
}

std::string RecordOutcomeCaseSql() {
    // A number no run gives stands for every result not listed.
    const std::string otherwise = SqlOutcome(CountedAs(static_cast<UpgradeResult>(-1)));
    std::vector<std::string> words;  // in the order the results first give them
    std::map<std::string, std::vector<int>> codes;
    std::array<UpgradeResult, RESULT_CODES.size()> results = RESULT_CODES;
    std::sort(results.begin(), results.end());
    for (const UpgradeResult result : results) {
        const std::string word = SqlOutcome(CountedAs(result));
        if (word == otherwise) continue;
        if (!codes.contains(word)) words.push_back(word);
        codes[word].push_back(result);
    }
    std::string sql = "CASE";
    for (const std::string& word : words) {
        const std::vector<int>& list = codes[word];
        sql += sql == "CASE" ? " " : "\n                ";
        sql += "WHEN result ";
        if (list.size() == 1) {
            sql += "= " + std::to_string(list.front());
        } else {
            sql += "IN (";
            for (std::size_t i = 0; i < list.size(); ++i)
                sql += (i ? ", " : "") + std::to_string(list[i]);
            sql += ")";
        }
        sql += " THEN '" + word + "'";
    }
    sql += "\n                ELSE '" + otherwise + "' END";
    return sql;
}

}  // namespace qvlink::record
