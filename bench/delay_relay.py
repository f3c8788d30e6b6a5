#!/usr/bin/python3
"""A TCP relay that holds every chunk for a fixed delay in each direction, for bench/netshare.sh.

    delay_relay.py DELAY_MS TARGET_PORT PORT_FILE

Listens on two free ports of 127.0.0.1 and writes "RELAY_PORT CONTROL_PORT" to PORT_FILE once
both listen. Each connection to RELAY_PORT is joined to 127.0.0.1:TARGET_PORT; every chunk read
from either side is written to the other DELAY_MS after it arrived, in order, so the delay adds
to each round trip without limiting throughput. A connection to CONTROL_PORT reads one line,
"ROUND_TRIPS BYTES_UP BYTES_DOWN", the totals so far: a round trip is counted each time data
from the server follows data from the client on one connection. Runs until it is killed.
"""
import os
import queue
import socket
import sys
import threading
import time

totals_lock = threading.Lock()
totals = {"trips": 0, "up": 0, "down": 0}


def listener():
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    sock.bind(("127.0.0.1", 0))
    sock.listen(16)
    return sock


def pump(source, sink, delay, upstream, last):
    """Reads chunks from source and has a writer thread send each to sink once it is due."""
    held = queue.Queue()

    def write():
        try:
            while True:
                due, chunk = held.get()
                wait = due - time.monotonic()
                if wait > 0:
                    time.sleep(wait)
                if chunk is None:
                    break
                sink.sendall(chunk)
        except OSError:
            pass
        # Pass the end on, or tear the connection down when the other side is gone.
        try:
            sink.shutdown(socket.SHUT_WR)
        except OSError:
            pass

    writer = threading.Thread(target=write, daemon=True)
    writer.start()
    try:
        while True:
            chunk = source.recv(65536)
            if not chunk:
                break
            with totals_lock:
                if upstream:
                    totals["up"] += len(chunk)
                else:
                    totals["down"] += len(chunk)
                    if last[0] == "up":
                        totals["trips"] += 1
                last[0] = "up" if upstream else "down"
            held.put((time.monotonic() + delay, chunk))
    except OSError:
        pass
    held.put((time.monotonic() + delay, None))
    writer.join()


def serve(client, target_port, delay):
    try:
        server = socket.create_connection(("127.0.0.1", target_port), timeout=10)
        server.settimeout(None)
    except OSError:
        client.close()
        return
    for sock in (client, server):
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    last = [None]  # direction of the last chunk on this connection
    down = threading.Thread(target=pump, args=(server, client, delay, False, last), daemon=True)
    down.start()
    pump(client, server, delay, True, last)
    down.join()
    client.close()
    server.close()


def control(sock):
    while True:
        conn, _ = sock.accept()
        with totals_lock:
            line = "%d %d %d\n" % (totals["trips"], totals["up"], totals["down"])
        try:
            conn.sendall(line.encode())
        except OSError:
            pass
        conn.close()


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: delay_relay.py DELAY_MS TARGET_PORT PORT_FILE")
    delay = float(sys.argv[1]) / 1000
    target_port = int(sys.argv[2])
    relay, ctl = listener(), listener()
    threading.Thread(target=control, args=(ctl,), daemon=True).start()
    # Written whole under a temporary name, so a reader never sees half a line.
    with open(sys.argv[3] + ".tmp", "w") as out:
        out.write("%d %d\n" % (relay.getsockname()[1], ctl.getsockname()[1]))
    os.rename(sys.argv[3] + ".tmp", sys.argv[3])
    while True:
        client, _ = relay.accept()
        threading.Thread(target=serve, args=(client, target_port, delay), daemon=True).start()


if __name__ == "__main__":
    main()
