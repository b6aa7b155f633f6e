#!/usr/bin/env python3
"""The bench's host agent: runs the Linux MySQL programs for the Windows stand-ins.

Wine cannot give a Windows process a handle or redirected streams for a Linux program, so the
stand-ins mysqld.exe, mysql.exe and mysqldump.exe (and the test harness) connect here over
loopback and this agent runs the Linux programs for them: MySQL 5.7's mysqld, and the MariaDB
clients standing in for mysql and mysqldump. It serves only those programs, with command lines
it builds itself from checked request fields; nothing else can be run through it. Besides, it
reads zip files inside the bench for the tests, as a standard zip reader does.

Protocol (see bench/README.md): frames of one kind byte, a 32-bit little-endian length and the
payload. The caller sends "H" with the per-run secret, then "Q" with a JSON request; then "I"
frames of standard input (an empty one closes it) and "T" to stop a server. The agent answers
with "O" (standard output), "E" (standard error), "R" (server ready for connections) and finally
"X" with the exit code in decimal, or "F" with a reason when it refuses the request.
"""
import argparse
import hashlib
import hmac
import json
import os
import re
import signal
import socket
import struct
import subprocess
import sys
import threading
import time
import zipfile

MAX_FRAME = 1 << 20
CHUNK = 65536
READY_POLL_SECONDS = 0.05
GREETING_WAIT_SECONDS = 1

# The 5.7 defaults of the bench: small buffers to save memory (a my.ini value comes later on the
# command line and wins), no performance schema, no certificates (they take a second per
# initialization and nothing here uses TLS).
SERVER_DEFAULTS = [
    "--performance-schema=OFF",
    "--innodb-buffer-pool-size=16M",
    "--innodb-log-file-size=4M",
    "--key-buffer-size=1M",
    "--auto-generate-certs=OFF",
]

# Options a request may not set: they would run foreign code, change who the server runs as,
# read other option files, or take over what the agent decides (the socket, the mode).
DENIED_OPTIONS = {
    "user", "no-defaults", "defaults-file", "defaults-extra-file", "defaults-group-suffix",
    "print-defaults", "plugin-load", "plugin-load-add", "early-plugin-load", "plugin-dir",
    "socket", "initialize", "initialize-insecure", "daemonize", "bootstrap", "help", "version",
    "validate-config",
}
OPTION_NAME = re.compile(r"^[A-Za-z0-9_-]{1,64}$")
PIPE_NAME = re.compile(r"^[A-Z0-9_.-]{1,48}$")
DUMP_FLAGS = {"single-transaction", "routines", "triggers", "events"}
CLIENTS = {"mysql": "mariadb", "mysqldump": "mariadb-dump"}


def log(text):
    print(time.strftime("%H:%M:%S"), text, flush=True)


class Refused(Exception):
    """A request the agent will not carry out; the reason goes back to the caller."""


class Link:
    """One caller's connection: framed messages, sends serialized across threads."""

    def __init__(self, sock):
        self.sock = sock
        self.lock = threading.Lock()

    def send(self, kind, payload=b""):
        if isinstance(payload, str):
            payload = payload.encode()
        header = struct.pack("<cI", kind.encode(), len(payload))
        try:
            with self.lock:
                self.sock.sendall(header + payload)
            return True
        except OSError:
            return False

    def _exact(self, n):
        data = bytearray()
        while len(data) < n:
            try:
                part = self.sock.recv(n - len(data))
            except OSError:
                return None
            if not part:
                return None
            data += part
        return bytes(data)

    def receive(self):
        """The next (kind, payload), or None when the caller has gone."""
        header = self._exact(5)
        if header is None:
            return None
        kind, size = struct.unpack("<cI", header)
        if size > MAX_FRAME:
            return None
        payload = self._exact(size) if size else b""
        if payload is None:
            return None
        return kind.decode("latin-1"), payload


class Agent:
    def __init__(self, bench, mysql_dir, socket_dir, secret):
        self.bench = os.path.realpath(bench)
        self.mysqld = os.path.join(mysql_dir, "bin", "mysqld")
        self.share = os.path.join(mysql_dir, "share")
        self.socket_dir = socket_dir
        self.secret = secret.encode()
        self.files_dir = os.path.join(self.bench, "mysql-files")
        self.pid_file = os.path.join(self.bench, "mysqld.pids")
        self.lock = threading.Lock()
        self.servers = {}  # pid -> {"process", "pipe", "socket", "port"}
        self.private_sockets = 0
        os.makedirs(self.files_dir, exist_ok=True)

    # ---- request handling -------------------------------------------------------------------

    def handle(self, sock):
        link = Link(sock)
        try:
            hello = link.receive()
            if not hello or hello[0] != "H" or not hmac.compare_digest(hello[1], self.secret):
                link.send("F", "bench agent: wrong secret")
                return
            frame = link.receive()
            if not frame or frame[0] != "Q":
                link.send("F", "bench agent: no request")
                return
            request = json.loads(frame[1])
            op = request.get("op")
            handlers = {
                "client": self.run_client,
                "tcp-client": self.run_tcp_client,
                "initialize": self.run_initialize,
                "serve": self.run_server,
                "servers": self.list_servers,
                "kill-server": self.kill_server,
                "read-zip": self.read_zip,
            }
            if op not in handlers:
                raise Refused(f"unknown request {op!r}")
            handlers[op](link, request)
        except Refused as refusal:
            log(f"refused: {refusal}")
            link.send("F", f"bench agent: {refusal}")
        except Exception as error:  # a broken request must not take the agent down
            log(f"request failed: {error!r}")
            link.send("F", f"bench agent: {error}")
        finally:
            close_gracefully(sock)

    # ---- checks -------------------------------------------------------------------------------

    def inside_bench(self, path):
        if not isinstance(path, str) or not path.startswith("/") or "\0" in path:
            return False
        real = os.path.realpath(path)
        return real == self.bench or real.startswith(self.bench + os.sep)

    def checked_path(self, path, what):
        """The path without symbolic links: Wine maps C: through dosdevices/c:, and a colon in a
        path breaks options that hold lists of paths (tmpdir)."""
        if not self.inside_bench(path):
            raise Refused(f"{what} {path!r} lies outside the bench")
        return os.path.realpath(path)

    @staticmethod
    def checked_text(value, what, pattern=None):
        if not isinstance(value, str) or "\0" in value or value.startswith("-"):
            raise Refused(f"bad {what}")
        if pattern and not re.fullmatch(pattern, value):
            raise Refused(f"bad {what} {value!r}")
        return value

    def socket_of_pipe(self, pipe):
        """The Unix socket standing for a named pipe. Pipe names are case-insensitive."""
        name = pipe.upper()
        if not PIPE_NAME.fullmatch(name):
            name = "pipe-" + hashlib.sha1(name.encode()).hexdigest()[:16]
        return os.path.join(self.socket_dir, name + ".sock")

    def local_address(self, host):
        """Only addresses of this machine: binding to one proves it is ours."""
        try:
            with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
                probe.bind((host, 0))
            return host
        except (OSError, TypeError):
            raise Refused(f"{host!r} is not an address of this machine")

    def server_options(self, request):
        arguments = []
        for entry in request.get("options", []):
            if not isinstance(entry, list) or len(entry) != 2:
                raise Refused("bad option entry")
            name, value = entry
            if not isinstance(name, str) or not OPTION_NAME.fullmatch(name):
                raise Refused(f"bad option name {name!r}")
            plain = name.lower().replace("_", "-")
            for prefix in ("loose-", "maximum-"):
                if plain.startswith(prefix):
                    plain = plain[len(prefix):]
            if plain in DENIED_OPTIONS or plain.startswith("plugin-load"):
                raise Refused(f"option {name} is not for the bench's server")
            if value is None:
                arguments.append("--" + name)
                continue
            if not isinstance(value, str) or "\0" in value:
                raise Refused(f"bad value of {name}")
            if value.startswith("/"):
                value = self.checked_path(value, name)
            arguments.append(f"--{name}={value}")
        return arguments

    def client_environment(self, password):
        environment = {"PATH": "/usr/bin:/bin", "LANG": "C.UTF-8", "HOME": self.bench}
        if "TZ" in os.environ:
            environment["TZ"] = os.environ["TZ"]
        if password:
            environment["MYSQL_PWD"] = password
        return environment

    # ---- programs -----------------------------------------------------------------------------

    def relay(self, link, process, stderr_filter=None, on_frame=None):
        """Pumps the child's streams to the caller and the caller's frames to the child, then
        sends the exit code. A caller that goes away takes the child with it."""

        def pump(stream, kind, line_wise):
            if line_wise:
                for line in iter(stream.readline, b""):
                    link.send(kind, stderr_filter(line) if stderr_filter else line)
            else:
                for chunk in iter(lambda: stream.read1(CHUNK), b""):
                    link.send(kind, chunk)

        pumps = []
        if process.stdout:
            pumps.append(threading.Thread(target=pump, args=(process.stdout, "O", False), daemon=True))
        if process.stderr:
            pumps.append(threading.Thread(target=pump, args=(process.stderr, "E", True), daemon=True))
        for thread in pumps:
            thread.start()

        def listen():
            while True:
                frame = link.receive()
                if frame is None:
                    if process.poll() is None:
                        log(f"caller of pid {process.pid} went away: killing it")
                        process.kill()
                    return
                kind, payload = frame
                if kind == "I" and process.stdin:
                    try:
                        if payload:
                            process.stdin.write(payload)
                            process.stdin.flush()
                        else:
                            process.stdin.close()
                    except (BrokenPipeError, ValueError, OSError):
                        pass  # the child stopped reading; it is about to end
                elif on_frame:
                    on_frame(kind, payload)

        threading.Thread(target=listen, daemon=True).start()
        code = process.wait()
        for thread in pumps:
            thread.join()
        link.send("X", str(code))
        return code

    def start_client(self, link, argv, password, stderr_filter):
        process = subprocess.Popen(argv, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, env=self.client_environment(password),
                                   cwd=self.bench)
        return self.relay(link, process, stderr_filter)

    @staticmethod
    def client_flags(request):
        """The Windows client's own switches that the Linux client takes as they are."""
        flags = []
        if request.get("binary_mode"):
            flags.append("--binary-mode")
        if request.get("no_local_files"):
            flags.append("--local-infile=0")
        return flags

    def run_client(self, link, request):
        tool = request.get("tool")
        if tool not in CLIENTS:
            raise Refused(f"unknown client {tool!r}")
        pipe = self.checked_text(request.get("pipe"), "pipe name")
        socket_path = self.socket_of_pipe(pipe)
        argv = [CLIENTS[tool], "--no-defaults"]
        if tool == "mysql":
            # 5.7's client does not echo the failing statement; the sandbox keeps SQL text from
            # reaching the Linux file system through client commands. Unbuffered, its answer to
            # each statement comes as soon as the statement has run (the stand-in's faults wait
            # for it).
            argv += ["--skip-print-query-on-error", "--sandbox", "--unbuffered"]
        argv += [f"--socket={socket_path}", "--protocol=socket",
                 "--user=" + self.checked_text(request.get("user", "root"), "user name")]
        if request.get("charset") is not None:
            argv.append("--default-character-set=" +
                        self.checked_text(request["charset"], "character set", r"[A-Za-z0-9_]{1,32}"))
        if tool == "mysqldump":
            for flag in request.get("flags", []):
                if flag not in DUMP_FLAGS:
                    raise Refused(f"dump flag {flag!r}")
                argv.append("--" + flag)
            if request.get("result_file") is not None:
                argv.append("--result-file=" + self.checked_path(request["result_file"], "result file"))
        if tool == "mysql":
            argv += self.client_flags(request)
        if request.get("rows"):
            argv += ["--batch", "--raw", "--skip-column-names"]
        if request.get("database"):
            argv.append(self.checked_text(request["database"], "database name"))
        log(f"{tool} via pipe {pipe} (password {'given' if request.get('password') else 'none'})")
        # The tool names the result file by its real path; the stand-in knows the one it gave.
        given = {}
        if tool == "mysqldump" and request.get("result_file") is not None:
            given[os.path.realpath(request["result_file"])] = request["result_file"]
        self.start_client(link, argv, request.get("password"),
                          windows_client_error(tool, pipe, socket_path, given))

    def run_tcp_client(self, link, request):
        host = self.local_address(request.get("host", "127.0.0.1"))
        port = request.get("port")
        if not isinstance(port, int) or not 0 < port < 65536:
            raise Refused("bad port")
        argv = ["mariadb", "--no-defaults", "--skip-print-query-on-error", "--sandbox",
                "--protocol=tcp", f"--host={host}", f"--port={port}",
                "--user=" + self.checked_text(request.get("user"), "user name"),
                "--default-character-set=utf8mb4"]
        limit = request.get("connect_timeout")
        if limit is not None:
            if not isinstance(limit, int) or not 0 < limit <= 3600:
                raise Refused("bad connect timeout")
            argv.append(f"--connect-timeout={limit}")
        argv += self.client_flags(request)
        if request.get("rows", True):
            argv += ["--batch", "--raw", "--skip-column-names"]
        if request.get("database"):
            argv.append(self.checked_text(request["database"], "database name"))
        log(f"tcp client {host}:{port}")
        rewrite = windows_tcp_client_error() if request.get("windows") else None
        self.start_client(link, argv, request.get("password"), rewrite)

    def server_argv(self, request):
        # "unprivileged": the server runs as an account that may not reach the data folder, as
        # a Windows service account without rights to it would (test control of mysqld.exe).
        user = "nobody" if request.get("unprivileged") is True else "root"
        return [self.mysqld, "--no-defaults", f"--user={user}", f"--lc-messages-dir={self.share}",
                f"--secure-file-priv={self.files_dir}", *SERVER_DEFAULTS, *self.server_options(request)]

    def record_pid(self, pid):
        with open(self.pid_file, "a") as pids:
            pids.write(f"{pid}\n")

    def run_initialize(self, link, request):
        argv = self.server_argv(request)
        # A private socket: an initialization never serves clients.
        argv += [f"--socket={self.private_socket()}", "--initialize-insecure"]
        if request.get("init_file") is not None:
            argv.append("--init-file=" + self.checked_path(request["init_file"], "init file"))
        log("initialize: " + " ".join(argv[1:]))
        process = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.PIPE, cwd=self.bench)
        self.record_pid(process.pid)
        code = self.relay(link, process)
        log(f"initialize ended with {code}")

    def private_socket(self):
        with self.lock:
            self.private_sockets += 1
            return os.path.join(self.socket_dir, f"private-{os.getpid()}-{self.private_sockets}.sock")

    def run_server(self, link, request):
        pipe = request.get("pipe")
        socket_path = self.socket_of_pipe(self.checked_text(pipe, "pipe name")) if pipe else self.private_socket()
        argv = self.server_argv(request) + [f"--socket={socket_path}"]
        port = next((a.split("=", 1)[1] for a in reversed(argv) if a.startswith("--port=")), "3306")
        with self.lock:
            if any(s["socket"] == socket_path and s["process"].poll() is None for s in self.servers.values()):
                # What Windows' mysqld says when another server holds the pipe.
                link.send("E", f'[ERROR] Can\'t start server : Named Pipe "\\\\.\\pipe\\{pipe}" already in use.\n')
                link.send("X", "1")
                return
            for stale in (socket_path, socket_path + ".lock"):
                try:
                    os.unlink(stale)
                except FileNotFoundError:
                    pass
            process = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                       stderr=subprocess.PIPE, cwd=self.bench)
            self.servers[process.pid] = {"process": process, "pipe": pipe, "socket": socket_path, "port": port}
        self.record_pid(process.pid)
        log(f"server {process.pid} for pipe {pipe}: " + " ".join(argv[1:]))

        def announce_ready():
            # Ready once the server greets a client: 5.7 listens before it has read its grant
            # tables (and may still give up then), but greets only when it accepts connections,
            # which is when the Windows server reports its service running.
            while process.poll() is None:
                try:
                    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as probe:
                        probe.settimeout(GREETING_WAIT_SECONDS)
                        probe.connect(socket_path)
                        if not probe.recv(1):
                            raise OSError("no greeting")
                    link.send("R", str(process.pid))
                    log(f"server {process.pid} ready")
                    return
                except OSError:
                    time.sleep(READY_POLL_SECONDS)

        def on_frame(kind, _payload):
            if kind == "T" and process.poll() is None:
                log(f"server {process.pid}: stop requested")
                process.terminate()  # a clean shutdown, as SQL SHUTDOWN

        threading.Thread(target=announce_ready, daemon=True).start()
        try:
            code = self.relay(link, process, on_frame=on_frame)
        finally:
            with self.lock:
                self.servers.pop(process.pid, None)
        log(f"server {process.pid} ended with {code}")

    def list_servers(self, link, _request):
        """One line per live server: pid, pipe name (empty without one), port, tab-separated."""
        with self.lock:
            live = [f"{pid}\t{s['pipe'] or ''}\t{s['port']}\n"
                    for pid, s in self.servers.items() if s["process"].poll() is None]
        link.send("O", "".join(live))
        link.send("X", "0")

    def kill_server(self, link, request):
        """Kills the server behind a pipe outright (SIGKILL), as a crash or a power cut would: the
        fault tests' way to take the server away in the middle of an operation."""
        socket_path = self.socket_of_pipe(self.checked_text(request.get("pipe"), "pipe name"))
        with self.lock:
            victims = [s["process"] for s in self.servers.values()
                       if s["socket"] == socket_path and s["process"].poll() is None]
        for process in victims:
            log(f"server {process.pid}: killed on request")
            process.kill()
            process.wait()
        link.send("X", "0" if victims else "1")

    def read_zip(self, link, request):
        """A zip file as Python's zipfile reads it, for tests of the zip files the program writes:
        every member's CRC is checked first (exit code 1 and the member's name when one fails),
        then each member is sent as a line "name, flag bits, method, size" (tab-separated) and its
        bytes. Not a zip file at all is a refusal."""
        with zipfile.ZipFile(self.checked_path(request.get("file"), "zip file")) as archive:
            broken = archive.testzip()
            if broken is not None:
                link.send("E", f"CRC of {broken} does not match\n")
                link.send("X", "1")
                return
            for member in archive.infolist():
                content = archive.read(member)
                link.send("O", f"{member.filename}\t{member.flag_bits}\t{member.compress_type}\t"
                               f"{len(content)}\n")
                for start in range(0, len(content), CHUNK):
                    link.send("O", content[start:start + CHUNK])
        link.send("X", "0")

    def stop_all(self):
        with self.lock:
            processes = [s["process"] for s in self.servers.values()]
        for process in processes:
            if process.poll() is None:
                process.terminate()
        deadline = time.monotonic() + 10
        for process in processes:
            try:
                process.wait(max(0.1, deadline - time.monotonic()))
            except subprocess.TimeoutExpired:
                process.kill()


def close_gracefully(sock):
    """Closes after the caller has read everything: closing a socket with unread input resets the
    connection, and the caller may then lose the last frames still on their way to it."""
    try:
        sock.shutdown(socket.SHUT_WR)
        sock.settimeout(5)
        while sock.recv(CHUNK):
            pass
    except OSError:
        pass
    finally:
        sock.close()


def windows_client_error(tool, pipe, socket_path, given_paths=None):
    """Turns the MariaDB clients' error lines into the shape of the 5.7 Windows clients."""
    refused = re.compile(r"Can't connect to local (?:MySQL |MariaDB )?server through socket '"
                         + re.escape(socket_path) + r"' \(\d+\)")
    pipe_error = f"Can't open named pipe to host: .  pipe: {pipe} (2)"

    def rewrite(raw):
        # MariaDB's tools ring the terminal bell before some errors; 5.7's do not.
        line = raw.decode("utf-8", "replace").lstrip("\a")
        for real, given in (given_paths or {}).items():
            line = line.replace(real, given)
        for linux_name, name in (("mariadb-dump:", "mysqldump:"), ("mariadb:", "mysql:")):
            if line.startswith(linux_name):
                line = name + line[len(linux_name):]
        if refused.search(line):
            line = refused.sub(pipe_error, line).replace("ERROR 2002 ", "ERROR 2017 ").replace(
                "Got error: 2002:", "Got error: 2017:")
        # mysqldump 5.7 writes "Got error: N: text when ...", without MariaDB's quotes.
        line = re.sub(r'(Got error: \d+: )"(.*)"( when )', r"\1\2\3", line)
        return line.encode()

    return rewrite


def windows_tcp_client_error():
    """Turns the MariaDB client's TCP error lines into those of the 5.7 Windows client: a refused
    or unreachable server is error 2003 with the Winsock error number."""
    cannot_connect = re.compile(r"ERROR 2002 \(HY000\): Can't connect to "
                                r"(?:MySQL |MariaDB )?server on '([^']*)' \((\d+)\)")
    winsock = {"111": "10061", "115": "10061", "110": "10060", "113": "10065"}

    def rewrite(raw):
        line = raw.decode("utf-8", "replace")
        if line.startswith("mariadb:"):
            line = "mysql:" + line[len("mariadb:"):]
        line = cannot_connect.sub(
            lambda m: f"ERROR 2003 (HY000): Can't connect to MySQL server on '{m.group(1)}' "
                      f"({winsock.get(m.group(2), m.group(2))})", line)
        return line.encode()

    return rewrite


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bench", required=True, help="the bench folder (build/bench)")
    parser.add_argument("--mysql", required=True, help="the unpacked MySQL 5.7 (bin/mysqld, share)")
    parser.add_argument("--socket-dir", required=True, help="a short folder for Unix sockets")
    parser.add_argument("--port-file", required=True, help="written with the port once listening")
    options = parser.parse_args()
    secret = os.environ.pop("KELTA_AGENT_SECRET", "")
    if not secret:
        sys.exit("agent: KELTA_AGENT_SECRET is not set")
    agent = Agent(options.bench, options.mysql, options.socket_dir, secret)

    def leave(_signal, _frame):
        log("stopping: ending every server")
        agent.stop_all()
        os._exit(0)

    signal.signal(signal.SIGTERM, leave)
    signal.signal(signal.SIGINT, leave)

    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(64)
    port = listener.getsockname()[1]
    with open(options.port_file + ".tmp", "w") as port_file:
        port_file.write(f"{port}\n")
    os.replace(options.port_file + ".tmp", options.port_file)
    log(f"listening on 127.0.0.1:{port}")
    while True:
        connection, _ = listener.accept()
        connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        threading.Thread(target=agent.handle, args=(connection,), daemon=True).start()


if __name__ == "__main__":
    main()
