// The kernel's request handlers: one routine per message type of the shell
// and control channels, each answering with its reply and, around the work,
// the busy and idle states on iopub. Unknown requests are ignored, as the
// protocol asks.
#include <signal.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include "kernel/kernel.h"
#include "platform/platform.h"

namespace {

using Handler = void (*)(zmq::socket_t& s, KMsg& m);

void reply(zmq::socket_t& s, const KMsg& m, const char* type, json content) {
  kwire_send(s, kwire_make(type, &m, std::move(content)));
}

// A Break for the running cell, delivered as the console's would be: the
// signal goes to the main thread (the others block it), whose handler sets
// the flag or holds it while breaks are off.
void breakcell() { ::kill(::getpid(), SIGINT); }

void kernel_info(zmq::socket_t& s, KMsg& m) { reply(s, m, "kernel_info_reply", kinfo()); }

// The lines of the error reply's traceback: the message, then r(#).
json traceback(const KCellResult& r) {
  json tb = json::array();
  size_t a = 0;
  const std::string& t = r.message;
  while (a < t.size()) {
    size_t b = t.find('\n', a);
    if (b == std::string::npos) b = t.size();
    tb.push_back(t.substr(a, b - a));
    a = b + 1;
  }
  tb.push_back("r(" + std::to_string(r.rc) + ");");
  return tb;
}

void execute(zmq::socket_t& s, KMsg& m) {
  const json& c = m.content;
  const std::string code = kjstr(c, "code");
  const bool silent = kjbool(c, "silent", false);
  const bool store = kjbool(c, "store_history", !silent);
  if (!silent && store) ++ks.execcount;
  if (!silent)
    kwire_publish(kwire_make("execute_input", &m, {{"code", code}, {"execution_count", ks.execcount}}));
  ks.busy = true;
  KCellResult r = kcell_run(code, m);
  ks.busy = false;
  if (!r.rc) {
    reply(s, m, "execute_reply",
          {{"status", "ok"}, {"execution_count", ks.execcount}, {"payload", json::array()},
           {"user_expressions", json::object()}});
    return;
  }
  json err = {{"ename", "r(" + std::to_string(r.rc) + ")"},
              {"evalue", r.message},
              {"traceback", traceback(r)}};
  if (!silent) kwire_publish(kwire_make("error", &m, err));
  err["status"] = "error";
  err["execution_count"] = ks.execcount;
  reply(s, m, "execute_reply", err);
}

void is_complete(zmq::socket_t& s, KMsg& m) {
  std::string indent;
  std::string code = kjstr(m.content, "code");
  std::string status = kcomplete_status(code, indent);
  json c = {{"status", status}};
  if (status == "incomplete") c["indent"] = indent;
  reply(s, m, "is_complete_reply", c);
}

// Protocol cursors count characters; the code is UTF-8.
int tobyte(const std::string& code, long chars) {
  size_t i = 0;
  for (long k = 0; i < code.size() && k < chars; ++k) {
    ++i;
    while (i < code.size() && (static_cast<unsigned char>(code[i]) & 0xC0) == 0x80) ++i;
  }
  return static_cast<int>(i);
}

long tochars(const std::string& code, int byte) {
  long n = 0;
  for (int i = 0; i < byte && i < static_cast<int>(code.size()); ++i)
    if ((static_cast<unsigned char>(code[static_cast<size_t>(i)]) & 0xC0) != 0x80) ++n;
  return n;
}

void complete(zmq::socket_t& s, KMsg& m) {
  std::string code = kjstr(m.content, "code");
  long cur = kjint(m.content, "cursor_pos", -1);
  int bc = cur < 0 ? static_cast<int>(code.size()) : tobyte(code, cur);
  int a = bc, b = bc;
  std::vector<std::string> matches = kcomplete(code, bc, a, b);
  reply(s, m, "complete_reply",
        {{"status", "ok"}, {"matches", matches}, {"cursor_start", tochars(code, a)},
         {"cursor_end", tochars(code, b)}, {"metadata", json::object()}});
}

void inspect(zmq::socket_t& s, KMsg& m) {
  std::string code = kjstr(m.content, "code");
  long cur = kjint(m.content, "cursor_pos", -1);
  int bc = cur < 0 ? static_cast<int>(code.size()) : tobyte(code, cur);
  std::string text = kinspect(code, bc);
  json data = json::object();
  if (!text.empty()) data["text/plain"] = text;
  reply(s, m, "inspect_reply",
        {{"status", "ok"}, {"found", !text.empty()}, {"data", data}, {"metadata", json::object()}});
}

void shutdown(zmq::socket_t& s, KMsg& m) {
  const bool restart = kjbool(m.content, "restart", false);
  json c = {{"status", "ok"}, {"restart", restart}};
  reply(s, m, "shutdown_reply", c);
  kwire_publish(kwire_make("shutdown_reply", &m, c));
  ks.restart = restart;
  ks.quit = true;
  if (ks.busy) breakcell();
}

// From the control thread: the running cell sees a Break.
void interrupt(zmq::socket_t& s, KMsg& m) {
  if (ks.busy) breakcell();
  reply(s, m, "interrupt_reply", {{"status", "ok"}});
}

void history(zmq::socket_t& s, KMsg& m) {
  reply(s, m, "history_reply", {{"status", "ok"}, {"history", json::array()}});
}

void comm_info(zmq::socket_t& s, KMsg& m) {
  reply(s, m, "comm_info_reply", {{"status", "ok"}, {"comms", json::object()}});
}

struct Route {
  const char* type;
  Handler fn;
  bool oncontrol;  // may arrive on the control channel (answered by its thread)
  bool onshell;
};

// The control thread must not touch the interpreter: only requests that read
// nothing of it are answered there.
const Route routes[] = {
    {"kernel_info_request", kernel_info, true, true},
    {"execute_request", execute, false, true},
    {"is_complete_request", is_complete, false, true},
    {"complete_request", complete, false, true},
    {"inspect_request", inspect, false, true},
    {"history_request", history, false, true},
    {"comm_info_request", comm_info, false, true},
    {"shutdown_request", shutdown, true, true},
    {"interrupt_request", interrupt, true, false},
};

}  // namespace

json kinfo() {
  return {{"status", "ok"},
          {"protocol_version", "5.3"},
          {"implementation", "zelta-kernel"},
          {"implementation_version", "9.2"},
          {"language_info",
           {{"name", "zelta"},
            {"version", "9.2"},
            {"mimetype", "text/x-zelta"},
            {"file_extension", ".do"},
            {"pygments_lexer", "text"},
            {"codemirror_mode", "clike"}}},
          {"banner", "Zelta 9.2 for Linux: statistics in notebooks"},
          {"help_links", json::array()}};
}

void khandle(zmq::socket_t& s, KMsg& m, bool control) {
  const std::string type = m.header["msg_type"].get<std::string>();
  for (const Route& r : routes) {
    if (type != r.type) continue;
    if (control ? !r.oncontrol : !r.onshell) return;
    kwire_status("busy", &m);
    r.fn(s, m);
    kwire_status("idle", &m);
    return;
  }
}
