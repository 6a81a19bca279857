#include "json_report.h"

#include <nlohmann/json.hpp>

#include <charconv>

namespace zarn {

namespace {

using nlohmann::json;

// Names are bytes. One that is not UTF-8 is shown with U+FFFD where its bytes are not, and
// given whole, byte for byte, as hexadecimal digits under the key with "_hex" after it.
void putName(json& j, const std::string& key, const std::string& bytes) {
    j[key] = bytes;
    try {
        (void)json(bytes).dump();
    } catch (const json::type_error&) {
        static constexpr char kDigits[] = "0123456789abcdef";
        std::string hex;
        for (const unsigned char ch : bytes) (hex += kDigits[ch >> 4]) += kDigits[ch & 15];
        j[key + "_hex"] = hex;
    }
}

const char* outcomeName(const DropResult* r) {
    if (!r) return "not converted";
    switch (r->outcome) {
        // Written, but its check failed or could not be made: the exit status is 1.
        case DropOutcome::Completed:
            return r->verification && !r->verification->passed ? "not verified" : "converted";
        case DropOutcome::ErrorExit: return "error exit";
        default: return "refused";
    }
}

// A message's lines, which the program joins with CR.
json lines(const std::string& text) {
    json all = json::array();
    std::size_t from = 0;
    while (from < text.size()) {
        const std::size_t cr = std::min(text.find('\r', from), text.size());
        all.push_back(text.substr(from, cr - from));
        from = cr + 1;
    }
    return all;
}

// A single-precision value as its shortest decimal, 0.64 rather than 0.6399999856948853.
double shortest(float v) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, v).ptr;
    double out = 0;
    std::from_chars(text, end, out);
    return out;
}

json measurements(const Measurements& m) {
    const auto box = [](const auto& b) { return b ? json(*b) : json(nullptr); };
    return {{"stated_bounding_box", m.stated_bounding_box},
            {"version7", m.version7},
            {"scale", shortest(m.scale)},
            {"translate_found", m.translate_found},
            {"origin_zarn", {m.origin_x, m.origin_y}},
            {"offset_zarn", {m.offset_x, m.offset_y}},
            {"min_zarn", {m.min_x, m.min_y}},
            {"max_zarn", {m.max_x, m.max_y}},
            {"job_size_ps", {m.job_width, m.job_height}},
            {"bounding_box", box(m.bounding_box)},
            {"page_box", box(m.page_box)},
            {"page_line", m.page_line.empty() ? json(nullptr) : json(m.page_line)}};
}

}  // namespace

namespace {

json record(const std::string& input, const DropResult* r, const std::string& message) {
    // The keys scripts rely on are always there, null when the conversion did not get so far.
    json j{{"stated_bounding_box", nullptr},
           {"bounding_box", nullptr},
           {"page_box", nullptr},
           {"page_line", nullptr},
           {"output", nullptr},
           {"log", nullptr},
           {"pdf", nullptr},
           {"preview", nullptr},
           {"print_job", nullptr}};
    putName(j, "input", input);
    j["outcome"] = outcomeName(r);
    j["message"] = lines(r ? r->message : message);
    if (r) {
        for (const auto& [key, path] :
             {std::pair("output", &r->output_path), std::pair("log", &r->log_path),
              std::pair("pdf", &r->pdf_path), std::pair("preview", &r->preview_path)})
            if (!path->empty()) putName(j, key, *path);
        if (r->measured) j.update(measurements(*r->measured));
        j["warnings"] = r->warnings;
        if (r->print_job > 0) j["print_job"] = {{"queue", r->queue}, {"id", r->print_job}};
        if (r->verification)
            j["verification"] = {{"passed", r->verification->passed},
                                 {"lines", r->verification->lines}};
    }
    return j;
}

std::string text(const json& j) { return j.dump(-1, ' ', false, json::error_handler_t::replace); }

}  // namespace

std::string jsonRecord(const std::string& input, const DropResult* r, const std::string& message) {
    return text(record(input, r, message));
}

std::string jsonRecord(const std::string& input, const DropResult* r, const std::string& message,
                       const std::string& folder) {
    json j = record(input, r, message);
    j["folder"] = folder;
    return text(j);
}

std::string jsonMovedRecord(const std::string& input, const std::string& folder) {
    json j{{"outcome", folder.starts_with("done") ? "converted" : "error exit"},
           {"folder", folder}};
    putName(j, "input", input);
    return text(j);
}

}  // namespace zarn
