#!/usr/bin/env python3
"""Slow clients for the board's figures: COUNT connections from 127.0.0.1 to a loopback
HOST:PORT, each sending a request head one byte every INTERVAL seconds and never finishing
it, for SECONDS; then all are closed. Prints how many were open at the end (the others were
refused or closed by the server).

    slow_clients.py HOST PORT COUNT SECONDS [INTERVAL]
"""
import ipaddress
import socket
import sys
import time


def main():
    host, port, count, seconds = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), float(sys.argv[4])
    interval = float(sys.argv[5]) if len(sys.argv) > 5 else 2.0
    if not ipaddress.ip_address(host).is_loopback:
        sys.exit(f"slow_clients.py: {host} is not a loopback address")
    head = b"GET /v1/health HTTP/1.1\r\nHost: board\r\nX-Slow: " + b"a" * 100000
    clients = []
    for _ in range(count):
        try:
            client = socket.create_connection((host, port), timeout=2, source_address=("127.0.0.1", 0))
            client.setblocking(False)
            clients.append(client)
        except OSError:
            pass
    end = time.monotonic() + seconds
    sent = 0
    while time.monotonic() < end and clients:
        for client in list(clients):
            try:
                client.send(head[sent:sent + 1])
            except OSError:
                clients.remove(client)
                client.close()
        sent += 1
        time.sleep(min(interval, max(0.0, end - time.monotonic())))
    print(len(clients))
    for client in clients:
        client.close()


if __name__ == "__main__":
    main()
