// The notebook kernel: a front end that speaks the notebook messaging protocol
// (version 5.3) over ZeroMQ instead of reading a console. The wire layer reads
// the connection file, signs and parses messages; the handlers answer shell
// and control requests; the cell runner feeds a cell to the interpreter and
// turns what it prints, its failures and its graphs into messages.
#pragma once
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>
#include <zmq.hpp>

#include "output/output.h"

using json = nlohmann::json;

// What the connection file says.
struct KConnection {
  std::string transport = "tcp";
  std::string ip = "127.0.0.1";
  int shell = 0, iopub = 0, stdinp = 0, control = 0, hb = 0;  // ports
  std::string key;                   // signing key ("" = unsigned)
  std::string scheme = "hmac-sha256";
};

// One message as it travels: routing identities, the four dictionaries and
// any binary buffers.
struct KMsg {
  std::vector<std::string> ids;
  json header, parent, metadata, content;
  std::vector<std::string> buffers;
};

struct KernelState {
  KConnection conn;                  // from the connection file
  std::string session;               // this kernel's session id
  zmq::context_t* ctx = nullptr;
  zmq::socket_t* shell = nullptr;    // requests from clients (main thread)
  zmq::socket_t* iopub = nullptr;    // broadcasts; both threads, under iopublock
  zmq::socket_t* stdinp = nullptr;   // input requests (main thread)
  std::mutex iopublock;              // serialises the iopub socket
  std::atomic<bool> quit{false};     // a shutdown was asked for
  std::atomic<bool> busy{false};     // a cell is running
  std::atomic<bool> restart{false};  // the shutdown asked for a restart
  int execcount = 0;                 // execution counter of the cells
  KMsg* request = nullptr;           // the shell request being answered
  long shownbefore = 0;              // gr.shown when the last graph went out
};
extern KernelState ks;

// --- wire.cpp: connection file, signing, message framing.
// Reads the connection file; 0, or 1 with a message in `err`.
int kwire_readconn(const std::string& path, KConnection& c, std::string& err);
// Lower-case hex HMAC-SHA256 of the parts under key ("" when key is empty).
std::string kwire_sign(const std::string& key, const std::vector<std::string>& parts);
// A new random message id.
std::string kwire_uuid();
// The current time as ISO 8601 UTC with microseconds.
std::string kwire_now();
// Receives one multipart message; false on a bad signature, malformed frames
// or an interrupted call (nothing received).
bool kwire_recv(zmq::socket_t& s, KMsg& m);
// Builds a reply or broadcast header of type `type` in answer to `parent`.
KMsg kwire_make(const std::string& type, const KMsg* parent, json content);
// Sends m on s (retrying calls interrupted by a signal); false on failure.
bool kwire_send(zmq::socket_t& s, const KMsg& m);
// Publishes m on iopub under the lock; the topic is the message type.
void kwire_publish(const KMsg& m);
// Publishes status busy/idle in answer to parent.
void kwire_status(const char* state, const KMsg* parent);

// Fields of a client's dictionary, the default when absent or of another
// type (a malformed request never throws).
bool kjbool(const json& j, const char* key, bool def);
long kjint(const json& j, const char* key, long def);
std::string kjstr(const json& j, const char* key);

// --- handlers.cpp: one routine per request type.
// Answers a shell or control request on socket s.
void khandle(zmq::socket_t& s, KMsg& m, bool control);
// The kernel_info_reply content.
json kinfo();

// --- cell.cpp: running a cell.
struct KCellResult {
  int rc = 0;                        // return code that stopped the cell, 0 none
  std::string message;               // the failing command's error text
};
// Runs code as a do-file fragment, streaming its output on iopub in answer
// to parent. Returns the outcome.
KCellResult kcell_run(const std::string& code, const KMsg& parent);
// One-time set-up of the interpreter for the kernel, then profile.do.
void kcell_init();
void kcell_profile();

// --- complete.cpp: is_complete, completion and inspection.
// "complete", "incomplete" or "invalid" for a cell; indent for incomplete.
std::string kcomplete_status(const std::string& code, std::string& indent);
// Completions of the word ending at cursor; start/end of the word.
std::vector<std::string> kcomplete(const std::string& code, int cursor, int& start, int& end);
// The help text for the command at cursor ("" when none).
std::string kinspect(const std::string& code, int cursor);

// --- rich.cpp: graphs and tables as display data.
// Publishes the current graph as PNG and SVG display data.
void krich_graph(const KMsg& parent);
// The HTML of a table described through the output channel.
std::string krich_html(const OutTable& t);

// --- install.cpp: `zelta-kernel install`.
int kinstall(int argc, char** argv);
