#!/usr/bin/env python3
# `stream_server.py` prints its port and serves endless /tone.mp3 (ICY titles every 2 s)
# and /tone.ogg (?fast: 8x, ?drop=S: closed, ?stall=S: silent after S s, ?once=KEY: then 404),
# /missing (404), /loop (redirects to itself) and /list.pls until killed.
import http.server, subprocess, time, urllib.parse

TITLES = [b"Alpha Artist - First Song", "Café Band - Chanson été".encode("latin-1"),
          "Gamma - Über alles".encode(), b"Delta Artist - Last Song"]
METAINT, SERVED = 8000, set()


def tone(*codec):
    return subprocess.run(["ffmpeg", "-v", "error", "-f", "lavfi", "-i", "sine=duration=8", "-ac",
                           "2", *codec, "-"], check=True, stdout=subprocess.PIPE).stdout


TONES = {"/tone.mp3": tone("-b:a", "128k", "-write_xing", "0", "-id3v2_version", "0", "-f", "mp3"),
         "/tone.ogg": tone("-c:a", "libvorbis", "-f", "ogg")}


class Station(http.server.BaseHTTPRequestHandler):
    def reply(self, code, body=b"", **headers):
        self.send_response(code)
        for name, value in headers.items():
            self.send_header(name.replace("_", "-"), value)
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        query = {k: v[0] for k, v in urllib.parse.parse_qs(url.query, True).items()}
        if url.path == "/list.pls":
            return self.reply(200, b"[playlist]\nFile1=http://127.0.0.1:%d/tone.mp3\nTitle1=Test "
                              b"Station\n" % self.server.server_address[1])
        if url.path == "/loop":
            return self.reply(302, Location="/loop")
        once = query.get("once", "")
        if url.path not in TONES or once in SERVED:
            return self.reply(404, b"not here")
        SERVED.add(once or None)
        data, icy = TONES[url.path], self.headers.get("Icy-MetaData") == "1" and "mp3" in url.path
        self.reply(200, icy_name="Test Station", icy_genre="Tones",
                   **({"icy_metaint": METAINT} if icy else {}))
        rate, start, sent, title = 16000 * (8 if "fast" in query else 1), time.monotonic(), 0, None
        try:
            while time.monotonic() - start < float(query.get("drop", "inf")):
                if time.monotonic() - start >= float(query.get("stall", "inf")):
                    time.sleep(3600)
                if sent / rate - (time.monotonic() - start) > 0.5:
                    time.sleep(0.05)
                    continue
                piece = data[sent % len(data):][:METAINT - sent % METAINT if icy else 2000][:2000]
                self.wfile.write(piece)
                sent += len(piece)
                if icy and sent % METAINT == 0:
                    now = TITLES[int(sent / rate / 2) % len(TITLES)]
                    meta = b"StreamTitle='" + now + b"';" if now != title else b""
                    title = now
                    meta += b"\0" * (-len(meta) % 16)
                    self.wfile.write(bytes([len(meta) // 16]) + meta)
        except (BrokenPipeError, ConnectionResetError):
            pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Station)
print(server.server_address[1], flush=True)
server.serve_forever()
