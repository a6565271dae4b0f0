#!/usr/bin/env python3
"""A small radio station for the tests: endless MP3 and Ogg Vorbis streams made from
generated tones, with ICY titles that change every 2 s (one of them in Latin-1).

    stream_server.py FOLDER   prints the port it listens on, then serves until killed

/tone.mp3, /tone.ogg   the streams (real time; ?fast for 8x, ?drop=S closes after S s,
                       ?stall=S stops sending after S s and holds the connection,
                       ?once=KEY serves the first request with that key, 404 after)
/missing               404; /redirect -> /tone.mp3; /loop -> /loop
/list.pls, /list.m3u   a station's playlist naming /tone.mp3
"""
import http.server, os, socketserver, subprocess, sys, time, urllib.parse

FOLDER = sys.argv[1]
TITLES = [b"Alpha Artist - First Song", "Caf\u00e9 Band - Chanson \u00e9t\u00e9".encode("latin-1"),
          "Gamma - \u00dcber alles".encode("utf-8"), b"Delta Artist - Last Song"]
METAINT = 8000
SERVED = set()


def tone(name, codec_args):
    path = os.path.join(FOLDER, name)
    if not os.path.exists(path):
        subprocess.run(["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                        "sine=frequency=440:sample_rate=44100:duration=8", "-ac", "2"] +
                       codec_args + [path], check=True)
    with open(path, "rb") as f:
        return f.read()


MP3 = tone("tone.mp3", ["-b:a", "128k", "-write_xing", "0", "-id3v2_version", "0"])
OGG = tone("tone.ogg", ["-c:a", "libvorbis", "-q:a", "3"])


class Station(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query, keep_blank_values=True)
        port = self.server.server_address[1]
        if url.path in ("/list.pls", "/list.m3u"):
            address = "http://127.0.0.1:%d/tone.mp3" % port
            body = ("[playlist]\nFile1=%s\nTitle1=Test Station\nNumberOfEntries=1\n" % address
                    if url.path.endswith("pls") else "#EXTM3U\n#EXTINF:-1,Test Station\n%s\n" % address)
            return self.reply(200, body.encode(), "audio/x-scpls")
        if url.path == "/redirect":
            return self.reply(302, b"", "text/plain", [("Location", "/tone.mp3")])
        if url.path == "/loop":
            return self.reply(302, b"", "text/plain", [("Location", "/loop")])
        once = query.get("once", [None])[0]  # served to the first request only, then 404
        if url.path not in ("/tone.mp3", "/tone.ogg") or once in SERVED:
            return self.reply(404, b"not here", "text/plain")
        if once is not None:
            SERVED.add(once)
        data = MP3 if url.path.endswith("mp3") else OGG
        icy = self.headers.get("Icy-MetaData") == "1" and url.path.endswith("mp3")
        self.send_response(200)
        self.send_header("Content-Type", "audio/mpeg" if url.path.endswith("mp3") else "audio/ogg")
        self.send_header("icy-name", "Test Station")
        self.send_header("icy-genre", "Tones")
        if icy:
            self.send_header("icy-metaint", str(METAINT))
        self.end_headers()
        rate = 16000 * (8 if "fast" in query else 1)  # bytes a second
        drop = float(query["drop"][0]) if "drop" in query else None
        stall = float(query["stall"][0]) if "stall" in query else None
        start = time.monotonic()
        sent = 0
        until_meta = METAINT
        title = None
        try:
            while True:
                elapsed = time.monotonic() - start
                if drop is not None and elapsed >= drop:
                    return
                if stall is not None and elapsed >= stall:
                    time.sleep(3600)
                ahead = sent / rate - elapsed
                if ahead > 0.5:
                    time.sleep(ahead - 0.5)
                    continue
                chunk = 2000
                offset = sent % len(data)
                piece = data[offset:offset + chunk]
                if icy:
                    piece = piece[:until_meta]
                self.wfile.write(piece)
                sent += len(piece)
                if icy:
                    until_meta -= len(piece)
                    if until_meta == 0:
                        until_meta = METAINT
                        now = TITLES[int(sent / rate / 2) % len(TITLES)]
                        meta = b""
                        if now != title:
                            title = now
                            meta = b"StreamTitle='" + now + b"';"
                        meta += b"\0" * (-len(meta) % 16)
                        self.wfile.write(bytes([len(meta) // 16]) + meta)
        except (BrokenPipeError, ConnectionResetError):
            pass

    def reply(self, code, body, kind, headers=()):
        self.send_response(code)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


server = Server(("127.0.0.1", 0), Station)
print(server.server_address[1], flush=True)
server.serve_forever()
