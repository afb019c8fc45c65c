#include "serve/explorer_page.h"

namespace qivhost {
namespace {

constexpr std::string_view kPage = R"page(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>qiv-host</title>
<style>
  body { font: 14px system-ui, sans-serif; margin: 0; color: #1d2330; background: #f4f5f7; }
  header { background: #1d2330; color: #fff; padding: 8px 16px; display: flex; gap: 16px; align-items: baseline; }
  header h1 { font-size: 17px; margin: 0; }
  main { display: grid; grid-template-columns: minmax(280px, 1fr) 1.3fr 1fr; gap: 12px; padding: 12px; }
  section { background: #fff; border: 1px solid #d5d9e0; border-radius: 6px; padding: 10px; min-width: 0; }
  h2 { font-size: 14px; margin: 0 0 8px; }
  ul { list-style: none; margin: 0; padding: 0; }
  #routes li { padding: 4px 6px; border-radius: 4px; cursor: pointer; display: flex; gap: 8px; }
  #routes li:hover, #routes li.chosen { background: #e6ecf7; }
  .method { font: 600 12px monospace; width: 58px; flex: none; }
  .path { font-family: monospace; overflow-wrap: anywhere; }
  label { display: block; margin: 6px 0 2px; font-size: 12px; color: #566; }
  input, select, textarea { font: 13px monospace; width: 100%; box-sizing: border-box; }
  textarea { height: 110px; }
  button { margin-top: 8px; padding: 4px 14px; }
  pre { background: #f4f5f7; padding: 6px; white-space: pre-wrap; overflow-wrap: anywhere; margin: 4px 0; max-height: 260px; overflow: auto; }
  .row { display: flex; gap: 8px; }
  .row > * { flex: 1; }
  .bad { color: #b3261e; }
  #events li { border-top: 1px solid #e3e6eb; padding: 4px 0; }
  #events .name { font-weight: 600; }
  #stream-state { font-size: 12px; }
  #params { font-size: 12px; color: #566; }
</style>
</head>
<body>
<header><h1 id="title">qiv-host</h1><span id="version"></span></header>
<main>
  <section><h2>Routes</h2><ul id="routes"></ul><p id="routes-error" class="bad"></p></section>
  <section>
    <h2>Call</h2>
    <div class="row">
      <div style="flex:0 0 110px"><label for="method">Method</label>
        <select id="method"><option>GET</option><option>POST</option><option>PUT</option><option>PATCH</option><option>DELETE</option></select></div>
      <div><label for="target">Path and query</label><input id="target" value="/"></div>
    </div>
    <div id="params"></div>
    <label for="content-type">Content type</label><input id="content-type" value="application/json">
    <label for="body">Body (empty: none)</label><textarea id="body"></textarea>
    <button id="send">Send</button>
    <p>Status <b id="call-status">-</b> <span id="call-error" class="bad"></span></p>
    <pre id="call-body"></pre>
    <h2>Resource</h2>
    <label for="resource-uri">URI</label><input id="resource-uri" value="/qiv-platform-config/v1/namespaces/Honor">
    <label for="resource-value">JSON value</label><textarea id="resource-value">{"Enabled": true}</textarea>
    <button id="resource-put">Set</button> <button id="resource-get">Read</button> <button id="resource-delete">Delete</button>
    <pre id="resource-answer"></pre>
  </section>
  <section>
    <h2>Events <span id="stream-state">connecting</span></h2>
    <button id="events-clear">Clear</button>
    <ul id="events"></ul>
  </section>
</main>
<script>
"use strict";
const $ = (id) => document.getElementById(id);
const item = (parent, className, text) => {
  const node = document.createElement(parent === null ? "span" : parent);
  if (className) node.className = className;
  if (text !== undefined) node.textContent = text;
  return node;
};
const pretty = (text) => { try { return JSON.stringify(JSON.parse(text), null, 2); } catch (e) { return text; } };
let api = { components: { schemas: {} } };

// A body to start from: the schema's fields with empty values.
function example(schema, depth) {
  if (!schema || depth > 4) return null;
  if (schema.$ref) return example(api.components.schemas[schema.$ref.split("/").pop()], depth + 1);
  if (schema.allOf) return example(schema.allOf[0], depth);
  if (schema.enum) return schema.enum[0];
  switch (Array.isArray(schema.type) ? schema.type[0] : schema.type) {
    case "object": {
      const out = {};
      for (const [name, field] of Object.entries(schema.properties || {})) out[name] = example(field, depth + 1);
      return out;
    }
    case "array": return [];
    case "string": return "";
    case "integer": case "number": return 0;
    case "boolean": return false;
    default: return null;
  }
}

function choose(li, method, path, operation) {
  for (const other of document.querySelectorAll("#routes li")) other.classList.remove("chosen");
  li.classList.add("chosen");
  const word = method.toUpperCase();
  if (![...$("method").options].some((o) => o.value === word)) $("method").add(new Option(word));
  $("method").value = word;
  $("target").value = path;
  const params = (operation.parameters || []).map((p) => `${p.in} ${p.name}${p.required ? "" : "?"}`);
  $("params").textContent = params.length ? "Arguments: " + params.join(", ") : "";
  const body = operation.requestBody && operation.requestBody.content["application/json"];
  $("body").value = body ? JSON.stringify(example(body.schema, 0), null, 2) : "";
}

async function loadRoutes() {
  try {
    const answer = await fetch("/openapi.json");
    api = await answer.json();
    $("title").textContent = api.info.title;
    $("version").textContent = "API " + api.info.version;
    for (const [path, pathItem] of Object.entries(api.paths)) {
      const operations = Object.entries(pathItem).filter(([m]) => m !== "x-qiv-methods")
        .concat(Object.entries(pathItem["x-qiv-methods"] || {}));
      for (const [method, operation] of operations) {
        const li = item("li");
        li.append(item("span", "method", method.toUpperCase()), item("span", "path", path));
        li.title = operation.summary || operation.operationId;
        li.addEventListener("click", () => choose(li, method, path, operation));
        $("routes").append(li);
      }
    }
  } catch (e) {
    $("routes-error").textContent = "Cannot read /openapi.json: " + e;
  }
}

async function send() {
  const init = { method: $("method").value, headers: {} };
  if ($("body").value !== "") {
    init.body = $("body").value;
    init.headers["Content-Type"] = $("content-type").value;
  }
  $("call-status").textContent = "...";
  $("call-error").textContent = "";
  $("call-body").textContent = "";
  try {
    const answer = await fetch($("target").value, init);
    const text = await answer.text();
    $("call-status").textContent = String(answer.status);
    let error = "";
    try { const parsed = JSON.parse(text); if (!answer.ok && parsed && typeof parsed.error === "string") error = parsed.error; } catch (e) {}
    $("call-error").textContent = error;
    $("call-body").textContent = pretty(text);
  } catch (e) {
    $("call-status").textContent = "failed";
    $("call-error").textContent = String(e);
  }
}

async function resource(method) {
  const init = { method };
  if (method === "PUT") init.body = $("resource-value").value;
  try {
    const answer = await fetch("/host/resources" + $("resource-uri").value, init);
    $("resource-answer").textContent = answer.status + " " + pretty(await answer.text());
  } catch (e) {
    $("resource-answer").textContent = String(e);
  }
}

// The event stream, read as text: "event: NAME" and "data: ..." lines, a blank line after
// each event, comment lines starting with ":".
let connected;
const streamReady = new Promise((resolve) => { connected = resolve; });
let eventCount = 0;
function showEvent(name, data) {
  ++eventCount;
  const li = item("li");
  li.dataset.event = name;
  li.append(item("span", "name", name), item("span", null, "  " + new Date().toLocaleTimeString()),
            item("pre", null, pretty(data)));
  $("events").prepend(li);
}
async function readEvents() {
  for (;;) {
    try {
      const answer = await fetch("/events");
      if (!answer.ok) throw new Error("status " + answer.status);
      const reader = answer.body.getReader();
      const decoder = new TextDecoder();
      let pending = "";
      for (;;) {
        const { value, done } = await reader.read();
        if (done) break;
        pending += decoder.decode(value, { stream: true });
        let end;
        while ((end = pending.indexOf("\n\n")) >= 0) {
          const block = pending.slice(0, end);
          pending = pending.slice(end + 2);
          let name = "message";
          const data = [];
          for (const line of block.split("\n")) {
            if (line.startsWith(": connected")) { $("stream-state").textContent = "live"; connected(); }
            else if (line.startsWith(":")) continue;
            else if (line.startsWith("event: ")) name = line.slice(7);
            else if (line.startsWith("data: ")) data.push(line.slice(6));
          }
          if (data.length) showEvent(name, data.join("\n"));
        }
      }
      $("stream-state").textContent = "closed; reconnecting";
    } catch (e) {
      $("stream-state").textContent = "not connected (" + e.message + "); retrying";
    }
    await new Promise((resolve) => setTimeout(resolve, 1000));
  }
}

async function runScript() {
  const query = new URLSearchParams(location.search);
  if (!query.has("set") && !query.has("call")) return;
  await streamReady;
  if (query.has("set")) {
    $("resource-uri").value = query.get("set");
    $("resource-value").value = query.get("value") || "null";
    await resource("PUT");
  }
  if (query.has("call")) {
    const call = query.get("call");
    const space = call.indexOf(" ");
    $("method").value = call.slice(0, space);
    $("target").value = call.slice(space + 1);
    $("body").value = query.get("body") || "";
    const before = eventCount;
    await send();
    // The call's events may come a moment after its answer: a few short requests keep a
    // headless browser's clock from running ahead meanwhile.
    for (let i = 0; i < 40 && eventCount === before; ++i) await fetch("/host/transcript?since=1000000");
  }
  document.body.dataset.scripted = "done";
}

$("send").addEventListener("click", send);
$("resource-put").addEventListener("click", () => resource("PUT"));
$("resource-get").addEventListener("click", () => resource("GET"));
$("resource-delete").addEventListener("click", () => resource("DELETE"));
$("events-clear").addEventListener("click", () => $("events").replaceChildren());
readEvents();
loadRoutes().then(runScript);
</script>
</body>
</html>
)page";

}  // namespace

std::string_view ExplorerPage() { return kPage; }

}  // namespace qivhost
