// The zelta-kernel executable: binds the five sockets named by the connection
// file, answers the heartbeat and the control channel on their own threads
// (so that an interrupt or a shutdown reaches a kernel busy with a long
// cell), and serves shell requests on the main thread, which alone runs the
// interpreter. SIGINT sets the Break flag, as at the console.
#include <pthread.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <thread>

#include "interp/cmd/resetall.h"
#include "interp/interp.h"
#include "kernel/kernel.h"
#include "platform/platform.h"

KernelState ks;

namespace {

// How long a thread waits on its socket before it looks at ks.quit.
constexpr int POLLMS = 100;

std::string endpoint(int port) {
  return ks.conn.transport + "://" + ks.conn.ip + ":" + std::to_string(port);
}

// True when s has a message within POLLMS; false on timeout or interruption.
bool readable(zmq::socket_t& s) {
  zmq::pollitem_t item{static_cast<void*>(s), 0, ZMQ_POLLIN, 0};
  try {
    return zmq::poll(&item, 1, std::chrono::milliseconds(POLLMS)) > 0 && (item.revents & ZMQ_POLLIN);
  } catch (const zmq::error_t&) {
    return false;
  }
}

// The heartbeat: every ping comes straight back.
void heartbeat(zmq::socket_t* hb) {
  while (!ks.quit) {
    if (!readable(*hb)) continue;
    zmq::message_t m;
    try {
      if (!hb->recv(m, zmq::recv_flags::dontwait)) continue;
      hb->send(m, zmq::send_flags::none);
    } catch (const zmq::error_t&) {
    }
  }
}

void control(zmq::socket_t* ctl) {
  while (!ks.quit) {
    if (!readable(*ctl)) continue;
    KMsg m;
    if (kwire_recv(*ctl, m)) khandle(*ctl, m, true);
  }
}

int usage() {
  std::fputs(
      "usage: zelta-kernel -f CONNECTION_FILE\n"
      "       zelta-kernel install [--user | --prefix DIR]\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && !std::strcmp(argv[1], "install")) return kinstall(argc, argv);
  std::string connfile;
  if (argc == 3 && !std::strcmp(argv[1], "-f")) connfile = argv[2];
  else if (argc == 2 && argv[1][0] != '-') connfile = argv[1];
  else return usage();
  std::string err;
  if (kwire_readconn(connfile, ks.conn, err)) {
    std::fprintf(stderr, "zelta-kernel: %s\n", err.c_str());
    return 1;
  }
  if (startup_sysdir()) return 1;
  ks.session = kwire_uuid();

  zmq::context_t ctx(1);
  zmq::socket_t shell(ctx, zmq::socket_type::router), iopub(ctx, zmq::socket_type::pub),
      stdinp(ctx, zmq::socket_type::router), ctl(ctx, zmq::socket_type::router),
      hb(ctx, zmq::socket_type::rep);
  try {
    for (auto* s : {&shell, &iopub, &stdinp, &ctl, &hb}) s->set(zmq::sockopt::linger, 1000);
    shell.bind(endpoint(ks.conn.shell));
    iopub.bind(endpoint(ks.conn.iopub));
    stdinp.bind(endpoint(ks.conn.stdinp));
    ctl.bind(endpoint(ks.conn.control));
    hb.bind(endpoint(ks.conn.hb));
  } catch (const zmq::error_t& e) {
    std::fprintf(stderr, "zelta-kernel: cannot bind the sockets: %s\n", e.what());
    return 1;
  }
  ks.ctx = &ctx;
  ks.shell = &shell;
  ks.iopub = &iopub;
  ks.stdinp = &stdinp;

  // The helper threads never take SIGINT: it belongs to the interpreter.
  sigset_t block, old;
  sigemptyset(&block);
  sigaddset(&block, SIGINT);
  pthread_sigmask(SIG_BLOCK, &block, &old);
  std::thread hbt(heartbeat, &hb), ctlt(control, &ctl);
  pthread_sigmask(SIG_SETMASK, &old, nullptr);

  kcell_init();
  kwire_status("starting", nullptr);
  kcell_profile();
  kwire_status("idle", nullptr);

  while (!ks.quit) {
    if (!readable(shell)) continue;
    KMsg m;
    if (kwire_recv(shell, m)) khandle(shell, m, false);
  }

  ks.quit = true;
  hbt.join();
  ctlt.join();
  // A restart is a new process started by the client; before this one ends,
  // every subsystem is put back to its start, which closes the session's
  // logs and `file` handles, writes its postfiles, removes its temporary
  // files and unloads its plug-ins.
  if (ks.restart) reset_all();
  {
    std::lock_guard<std::mutex> g(ks.iopublock);
    ks.iopub = nullptr;
  }
  out_flush_all();
  return 0;
}
