#!/usr/bin/python3
"""A TCP proxy that delays every byte by a fixed time in each direction.

usage: delay_proxy.py LISTEN_PORT TARGET_PORT [DELAY_MS]

Listens on 127.0.0.1:LISTEN_PORT (0: any free port) and forwards to 127.0.0.1:TARGET_PORT. Data
read in either direction is written on DELAY_MS (default 25) later, in order,
so a command and its reply take twice that: 25 ms per direction is a link
with 50 ms round trips. Bandwidth is not limited. Prints "ready PORT" once
listening; stops at the end of its standard input.
"""
import asyncio
import sys


async def pipe(reader, writer, delay):
    queue = asyncio.Queue()
    loop = asyncio.get_running_loop()

    async def sender():
        while True:
            due, data = await queue.get()
            if data is None:
                break
            wait = due - loop.time()
            if wait > 0:
                await asyncio.sleep(wait)
            writer.write(data)
            await writer.drain()
        writer.close()

    task = asyncio.create_task(sender())
    try:
        while True:
            data = await reader.read(65536)
            if not data:
                break
            queue.put_nowait((loop.time() + delay, data))
    finally:
        queue.put_nowait((loop.time() + delay, None))
        await task


async def main():
    listen, target = int(sys.argv[1]), int(sys.argv[2])
    delay = (int(sys.argv[3]) if len(sys.argv) > 3 else 25) / 1000.0

    async def handle(client_r, client_w):
        server_r, server_w = await asyncio.open_connection("127.0.0.1", target)
        await asyncio.gather(pipe(client_r, server_w, delay), pipe(server_r, client_w, delay),
                             return_exceptions=True)

    server = await asyncio.start_server(handle, "127.0.0.1", listen)
    print("ready %d" % server.sockets[0].getsockname()[1], flush=True)
    loop = asyncio.get_running_loop()
    await loop.run_in_executor(None, sys.stdin.read)
    server.close()


if __name__ == "__main__":
    asyncio.run(main())
