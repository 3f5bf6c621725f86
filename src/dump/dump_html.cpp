#include "dump/dump_html.hpp"

#include "dump/dump_text.hpp"
#include "dump/page_assets.hpp"

#include <algorithm>
#include <string>
#include <string_view>

namespace {

// Text that is already UTF-8, safe inside an element and inside a quoted
// attribute alike.
void append_escaped(std::string& out, std::string_view text) {
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
}

// A value of the guide as the text dump shows it, escaped for HTML.
std::string html_text(std::string_view latin1) {
    std::string out;
    append_escaped(out, display_text(latin1));
    return out;
}

std::string count_of(std::size_t count, std::string_view noun) {
    return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

std::string moment(wall_minutes minutes) {
    return wall_clock_date(minutes) + " " + wall_clock_time_of_day(minutes);
}

// The fields past the title, as a list of names and values.
void append_fields(std::string& out, const guide_programme& programme) {
    for (const program_field field : record_fields) {
        if (field == program_field::start || field == program_field::stop || field == program_field::title)
            continue;
        if (programme[field].empty()) continue; // absent or empty: the file cannot tell
        out.append("<dt>").append(field_info(field).guide_name).append("</dt><dd>");
        out.append(html_text(programme[field])).append("</dd>");
    }
    out += "</dl></details>";
}

void append_block(std::string& out, const guide_programme& programme, const wall_span& span,
                  const wall_span& axis) {
    const wall_minutes from = std::max(span.start, axis.start);
    const wall_minutes to = std::min(span.stop, axis.stop);
    const std::string title = html_text(programme[program_field::title]);
    const std::string hours = wall_clock_time_of_day(span.start) + "–" + wall_clock_time_of_day(span.stop);
    out.append("<details class=\"programme\" style=\"--at:").append(std::to_string(from - axis.start));
    out.append(";--length:").append(std::to_string(to - from)).append("\"><summary title=\"").append(title);
    out.append("\"><b>").append(title).append("</b><time>").append(hours).append("</time></summary>");
    out.append("<dl><dt>time</dt><dd>").append(moment(span.start)).append(" – ").append(moment(span.stop));
    out += "</dd>";
    append_fields(out, programme);
}

void append_untimed(std::string& out, const guide_programme& programme) {
    out.append("<li><details><summary><b>").append(html_text(programme[program_field::title]));
    out.append("</b></summary><dl><dt>start</dt><dd>").append(html_text(programme[program_field::start]));
    out.append("</dd><dt>stop</dt><dd>").append(html_text(programme[program_field::stop])).append("</dd>");
    append_fields(out, programme);
    out += "</li>";
}

void print_channel(const guide_channel& channel, std::size_t index, const page_plan& plan, std::FILE* out) {
    std::string row = "<section class=\"row\" id=\"channel-" + std::to_string(index) + "\">";
    const std::string name = html_text(channel.display_name);
    row.append("<h2 class=\"name\" title=\"").append(name).append("\"><span class=\"position\">");
    row.append(std::to_string(index)).append("</span> ").append(name).append("<span class=\"icon\">");
    row.append(html_text(channel.icon));
    row += "</span></h2><div class=\"line\">";
    std::string untimed;
    for (const guide_programme& programme : channel.programmes) {
        const auto span = wall_span_of(programme);
        if (!span)
            append_untimed(untimed, programme);
        else if (plan.axis && overlaps(*span, plan.shown))
            append_block(row, programme, *span, *plan.axis);
    }
    row += "</div></section>\n";
    if (!untimed.empty())
        row.append("<ul class=\"untimed\">").append(untimed).append("</ul>\n");
    put_text(out, row);
}

// The hour labels, each day's first one named with its date and marked for
// the day links.
std::string axis_labels(const wall_span& axis) {
    std::string labels;
    for (wall_minutes hour = axis.start; hour < axis.stop; hour += minutes_per_hour) {
        const bool new_day = hour == axis.start || hour % minutes_per_day == 0;
        labels.append("<li style=\"--at:").append(std::to_string(hour - axis.start)).append("\"");
        if (new_day) {
            const std::string stamp = wall_clock_stamp(hour).substr(0, 8);
            labels.append(" class=\"day\" id=\"day-").append(stamp).append("\">").append(wall_clock_date(hour));
            labels += ' ';
        } else {
            labels += '>';
        }
        labels.append(wall_clock_time_of_day(hour)).append("</li>");
    }
    return labels;
}

std::string day_links(const wall_span& axis) {
    if (axis.stop - round_down(axis.start, minutes_per_day) <= minutes_per_day) return "";
    std::string links = "<p>Days:";
    for (wall_minutes day = round_down(axis.start, minutes_per_day); day < axis.stop; day += minutes_per_day) {
        const std::string stamp = wall_clock_stamp(day).substr(0, 8);
        links.append(" <a href=\"#day-").append(stamp).append("\">").append(wall_clock_date(day)).append("</a>");
    }
    return links + "</p>\n";
}

// Past the limits the page shows one day. --from=DAY alone shows DAY for
// the same reason, or the rest of the guide when that fits.
std::string too_large_notice(const too_large& cut, const page_plan& plan, bool window) {
    std::string notice = std::string("<p class=\"notice\">The ") + (window ? "window" : "guide") + " holds " +
                         count_of(cut.programmes, "programme") + " from " + moment(cut.axis.start) + " to " +
                         moment(cut.axis.stop) + ", more than one page shows well (" +
                         std::to_string(browser_limits.programmes) + " programmes over " +
                         std::to_string(browser_limits.minutes / minutes_per_day) +
                         " days), so this page shows its first day.";
    std::string days;
    for (const wall_minutes day : cut.days)
        if (day != round_down(*plan.shown.from, minutes_per_day))
            days.append(" <code>").append(wall_clock_stamp(day).substr(0, 8)).append("</code>");
    if (!days.empty())
        notice.append(" Another day: <code>guidepack-dump --html --from=DAY0000 GUIDE</code>, DAY being one of")
            .append(days).append(".");
    return notice + " Any window: --from and --until.</p>\n";
}

std::size_t count_untimed(const guide& content) {
    std::size_t untimed = 0;
    for (const guide_channel& channel : content.channels)
        for (const guide_programme& programme : channel.programmes) untimed += wall_span_of(programme) ? 0 : 1;
    return untimed;
}

std::string header(const guide& content, const page_plan& plan, bool window) {
    std::string text = "<header><h1>Guide <small>" + html_text(content.magic) + " " + html_text(content.version);
    text += ", time stamp ";
    append_escaped(text, describe_time_stamp(content.timestamp));
    text += "</small></h1>\n<p>" + count_of(content.channels.size(), "channel") + "; ";
    if (plan.axis)
        text += count_of(plan.programmes, "programme") + " from " + moment(plan.axis->start) + " to " +
                moment(plan.axis->stop);
    else
        text += "no programme on the time line";
    if (const std::size_t untimed = count_untimed(content); untimed != 0)
        text += "; " + std::to_string(untimed) + " not on the time line (a start or stop that is not a time, or a "
                "stop not after the start), listed under their channel";
    text += ".</p>\n";
    if (plan.cut) text += too_large_notice(*plan.cut, plan, window);
    if (plan.axis) text += day_links(*plan.axis);
    return text + "</header>\n";
}

} // namespace

void print_guide_html(const guide& content, const page_window& asked, std::FILE* out) {
    const page_plan plan = plan_page(content, asked, browser_limits);
    std::string head = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
    head.append("<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; ");
    head.append("style-src 'unsafe-inline'; script-src 'sha256-").append(page_script_sha256);
    head.append("'; base-uri 'none'; form-action 'none'\">\n");
    head.append("<title>Guide: ").append(count_of(content.channels.size(), "channel")).append("</title>\n");
    head.append("<style>").append(page_style).append("</style>\n</head>\n<body>\n");
    head.append(header(content, plan, asked.from || asked.until));
    const wall_minutes minutes = plan.axis ? plan.axis->stop - plan.axis->start : 0;
    head.append("<main class=\"grid\" style=\"--minutes:").append(std::to_string(minutes)).append("\">\n");
    head.append("<div class=\"axis\"><div class=\"name\">Channel</div><ol class=\"hours\">");
    if (plan.axis) head.append(axis_labels(*plan.axis));
    head.append("</ol></div>\n");
    put_text(out, head);
    for (std::size_t i = 0; i < content.channels.size(); ++i) print_channel(content.channels[i], i, plan, out);
    std::string tail = "</main>\n<script>";
    tail.append(page_script).append("</script>\n</body>\n</html>\n");
    put_text(out, tail);
}
