#include "run/channel_list.hpp"

#include "common/text.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr std::string_view white_space = " \t\r\f\v";

std::string_view trimmed(std::string_view line) {
    const std::size_t first = line.find_first_not_of(white_space);
    if (first == std::string_view::npos) return {};
    return line.substr(first, line.find_last_not_of(white_space) - first + 1);
}

struct file_closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

std::vector<std::string> channel_lines(std::string_view text) {
    text = without_byte_order_mark(text);
    std::vector<std::string> lines;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = trimmed(text.substr(0, end));
        if (!line.empty() && line.front() != '#') lines.emplace_back(line);
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return lines;
}

std::optional<std::vector<std::string>> read_channel_list(const char* path) {
    const std::unique_ptr<std::FILE, file_closer> file(std::fopen(path, "rb"));
    std::string text;
    if (file) {
        char chunk[4096];
        std::size_t size;
        while ((size = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) text.append(chunk, size);
    }
    if (!file || std::ferror(file.get())) {
        std::fprintf(stderr, "guidepack: cannot read the channels file %s: %s\n", path, std::strerror(errno));
        return std::nullopt;
    }
    return channel_lines(text);
}
