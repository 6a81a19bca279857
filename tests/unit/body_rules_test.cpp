// The body rules: the streaming rewriter held against the line-at-a-time reference.
#include <gtest/gtest.h>

#include <random>

#include "line_references.h"
#include "rewrite_pass.h"
#include "test_support.h"

namespace zarn {
namespace {

BodyRules rules(bool eps, std::initializer_list<int> digits) {
    BodyRules r;
    r.eps = eps;
    for (int d : digits) r.colour[d] = true;
    return r;
}

struct Rewritten {
    std::string bytes;
    BodyEnd end;
};

Rewritten rewrite(const std::string& body, const BodyRules& r, bool streaming) {
    testing::ScratchDir dir;
    // A prefix that is not body: the rewriter must not look back into it.
    const std::string prefix = "0.1 \r\n2 \r\nshowpa";
    testing::writeFile(dir.file("in"), prefix + body);
    InputStream in;
    in.open(dir.file("in"));
    Line skip;
    in.readLine(skip);
    in.readLine(skip);
    in.consume(6);  // "showpa" ends the prefix without a line end
    OutputFile out;
    out.create(dir.file("out"));
    const BodyEnd end =
        streaming ? rewriteBody(in, out, r) : testing::rewriteBodyByLines(in, out, r);
    out.close();
    return {testing::readFile(dir.file("out")), end};
}

void expectSameAsReference(const std::string& body, const BodyRules& r) {
    const Rewritten reference = rewrite(body, r, false);
    const Rewritten fast = rewrite(body, r, true);
    ASSERT_EQ(fast.bytes, reference.bytes) << "body of " << body.size() << " bytes";
    ASSERT_EQ(static_cast<int>(fast.end), static_cast<int>(reference.end));
}

TEST(BodyRewriter, MatchesTheReferenceOnHandPickedBodies) {
    const std::string bodies[] = {
        "",
        "ge\r\n",
        "2 w",
        "2 w\r",
        "2 w\n\r2 wx\r\n2 wxy\r\n 2 w\r\n",
        "0.1 g\r0.2 g\r\n0.4 g",
        "gsave showpage grestore\r\nshowpage",
        "\x04",
        "\x04\r\n",
        "%%EOF\r\n",
        "%%EOF",
        "x\n\x04\r\n",
        "x\r\n\r\n",
        "a\rb\r\r\nc\n\nd",
        "2 w\x04\r\n2 wg\r\n0.1 g0.1 g",
        "l\r\n\n%%EOF\r\n",
        std::string("a\0b 0.2 g\xff\r\n", 13),
    };
    for (bool eps : {false, true})
        for (const std::string& body : bodies)
            expectSameAsReference(body, rules(eps, {1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(BodyRewriter, MatchesTheReferenceOnRandomBodies) {
    const char* pieces[] = {"0.1 g", "0.2 g", "0.6 g", "0.0 g", "showpage", "show",      "page",
                            "2 w",   "10 w",  "\r",    "\n",    "\r\n",     "\x04",      "%%EOF",
                            " ",     "0.",    "g",     "w",     "2",        "123 456 l", "x"};
    std::mt19937 random(1234);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
    for (int round = 0; round < 300; ++round) {
        std::string body;
        const int count = static_cast<int>(random() % 60);
        for (int k = 0; k < count; ++k) body += pieces[pick(random)];
        BodyRules r;
        r.eps = random() % 2;
        for (int d = 1; d <= 8; ++d) r.colour[d] = random() % 2;
        expectSameAsReference(body, r);
    }
}

TEST(BodyRewriter, MatchesTheReferenceAcrossBufferBoundaries) {
    // Long lines and many short ones, so that patterns straddle every chunk boundary.
    std::string body;
    std::mt19937 random(99);
    while (body.size() < 3 * InputStream::kBufferSize) {
        switch (random() % 6) {
            case 0: body += std::string(random() % 700000, 'x'); break;
            case 1: body += "showpage"; break;
            case 2: body += "0.1 g"; break;
            case 3: body += "\r\n2 w\r"; break;
            case 4: body += "\x04\r"; break;
            default: body += "123 456 l\r\n"; break;
        }
    }
    for (bool eps : {false, true}) expectSameAsReference(body, rules(eps, {1, 2, 4}));
}

}  // namespace
}  // namespace zarn
