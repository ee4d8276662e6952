// The JSON writer: nesting, separators and the escaping of any bytes into valid JSON text.

#include "tools/cli/json_writer.h"

#include <gtest/gtest.h>

#include <sstream>

namespace linkmoor::tools {
namespace {

TEST(JsonWriter, NestsAndEscapesAnyBytes) {
    std::ostringstream out;
    {
        CJsonWriter json(out);
        json.BeginObject();
        json.Member("text", "q\"b\\c\x01\x7F\n\xC3\xA9\xE6\x96\x87");
        json.Member("bad", std::string("a\xE9z\xC3", 4));  // Latin-1 and a cut sequence
        json.Key("list").BeginArray();
        json.Number(1);
        json.Null();
        json.BeginObject();
        json.EndObject();
        json.EndArray();
        json.Member("yes", true);
        json.EndObject();
    }
    EXPECT_EQ(out.str(),
              "{\n"
              "  \"text\": \"q\\\"b\\\\c\\u0001\\u007f\\u000a\xC3\xA9\xE6\x96\x87\",\n"
              "  \"bad\": \"a\xEF\xBF\xBDz\xEF\xBF\xBD\",\n"
              "  \"list\": [\n"
              "    1,\n"
              "    null,\n"
              "    {}\n"
              "  ],\n"
              "  \"yes\": true\n"
              "}\n");
}

}  // namespace
}  // namespace linkmoor::tools
