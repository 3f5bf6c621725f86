// The style sheet and the one script of the page guidepack-dump --html
// writes. The script is fixed text, so that the page's security policy can
// allow it, and nothing else, by its SHA-256 (the browser test recomputes it).
#pragma once

#include <string_view>

inline constexpr std::string_view page_style = R"(
:root{--px:4px;--name:13rem;font:14px/1.3 "DejaVu Sans",Verdana,sans-serif;color:#1d2630;background:#eef1f4}
body{margin:0}
header{position:sticky;left:0;width:calc(100vw - 2rem);padding:.6rem 1rem;background:#1f3a52;color:#fff}
h1{margin:0;font-size:1.15rem}
h1 small{font-weight:normal;opacity:.75}
header p{margin:.3rem 0 0}
header a{color:#bfe0ff}
header code{color:#ffe9a8}
.notice{padding:.4rem .6rem;background:#5b4a12;border-radius:4px}
#find{margin-top:.4rem;padding:.2rem .4rem;width:16rem}
.grid{width:max-content}
.axis,.row{display:flex}
.axis{position:sticky;top:0;z-index:3;background:#c9d3dc}
h2{margin:0;font-size:1em}
.name{position:sticky;left:0;z-index:2;flex:none;box-sizing:border-box;width:var(--name);padding:.25rem .5rem;overflow:hidden;background:#fff;border-right:1px solid #9aa8b5;white-space:nowrap;text-overflow:ellipsis}
.axis .name{background:#c9d3dc;font-weight:bold}
.position{display:inline-block;min-width:1.6em;color:#6b7a88}
.icon{display:block;color:#6b7a88;font-size:.85em}
.hours,.line{position:relative;width:calc(var(--minutes)*var(--px))}
.hours{margin:0;padding:0;list-style:none;height:1.7rem}
.hours li{position:absolute;top:0;bottom:0;left:calc(var(--at)*var(--px));width:calc(60*var(--px));box-sizing:border-box;padding:.25rem .3rem;border-left:1px solid #8795a3;white-space:nowrap}
.hours li.day{border-left:3px solid #1f3a52;font-weight:bold}
.row{border-bottom:1px solid #c4ccd4}
.line{height:3.2rem;background:repeating-linear-gradient(to right,#d5dce2 0 1px,transparent 1px calc(60*var(--px)))}
.programme{position:absolute;top:.2rem;left:calc(var(--at)*var(--px));width:calc(var(--length)*var(--px));height:2.8rem;box-sizing:border-box;overflow:hidden;background:#d4e6f7;border:1px solid #7ea3c4;border-radius:3px}
.programme:nth-child(even){background:#e3eefa}
summary{padding:.2rem .3rem;overflow:hidden;white-space:nowrap;text-overflow:ellipsis;cursor:pointer;list-style:none}
summary::-webkit-details-marker{display:none}
summary time{display:block;color:#44617b;font-size:.8em}
.programme[open]{z-index:4;width:max(calc(var(--length)*var(--px)),24rem);height:auto;overflow:visible;background:#fff;box-shadow:0 3px 10px #0005}
dl{display:grid;grid-template-columns:auto 1fr;gap:.1rem .6rem;margin:0;padding:.2rem .4rem .4rem}
dt{color:#5b6b7a}
dd{margin:0;overflow-wrap:anywhere}
.untimed{display:flex;flex-wrap:wrap;gap:.2rem 1rem;margin:0;padding:.3rem .5rem .3rem calc(var(--name) + .5rem);background:#f7e4df;list-style:none}
.untimed::before{content:"Not on the time line:";color:#7a3b2e}
.untimed summary{display:inline}
.faded{opacity:.2}
)";

inline constexpr std::string_view page_script = R"(
"use strict";
// One programme's details open at a time; Escape closes them.
const openDetails = () => document.querySelectorAll("details[open]");
document.addEventListener("toggle", (event) => {
  if (!event.target.open) return;
  for (const other of openDetails()) if (other !== event.target) other.open = false;
}, true);
document.addEventListener("keydown", (event) => {
  if (event.key === "Escape") for (const open of openDetails()) open.open = false;
});
// A search field: the programmes whose title does not hold its text fade.
const find = document.createElement("input");
find.type = "search";
find.id = "find";
find.placeholder = "Find a title";
document.querySelector("header").append(find);
find.addEventListener("input", () => {
  const wanted = find.value.toLowerCase();
  for (const block of document.querySelectorAll(".programme")) {
    const title = block.querySelector("summary b").textContent.toLowerCase();
    block.classList.toggle("faded", wanted !== "" && !title.includes(wanted));
  }
});
)";

// base64 of the SHA-256 of page_script.
inline constexpr std::string_view page_script_sha256 = "62HZVifol7E1fqo3DhUrCklofb0BZSeRu4TqNP+FWY0=";
