"""Plays a movie to its end in a real browser: Debian's Chromium, headless, on a page served from
localhost.

A video is played in a <video> element until it ends; the page reports its duration, the time it
reached and its picture size. A GIF is shown in an <img> (its size), and the browser's own image
decoder (WebCodecs ImageDecoder) decodes every picture of it to the last: their durations added up
are its time, and its repetition count says whether it loops. The page sends what it saw back to the
server with a POST; nothing else is asked of the browser.
"""
import http.server
import json
import os
import shutil
import subprocess
import tempfile
import threading

CHROMIUM = "/usr/bin/chromium"
# As root, headless, and kept from calling anywhere but the page's own server.
FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--autoplay-policy=no-user-gesture-required", "--mute-audio"]

VIDEO_PAGE = """<!doctype html><video id="m" muted playsinline preload="auto" src="/%s"></video>
<script>
const m = document.getElementById("m");
const report = r => fetch("/result", {method: "POST", body: JSON.stringify(r)});
m.addEventListener("ended", () => report({ended: true, time: m.currentTime, duration: m.duration,
  width: m.videoWidth, height: m.videoHeight, shownWidth: m.clientWidth, shownHeight: m.clientHeight}));
m.addEventListener("error", () => report({error: "media error " + (m.error && m.error.code)}));
m.play().catch(e => report({error: "play: " + e}));
</script>"""

GIF_PAGE = """<!doctype html><img id="m" src="/%s">
<script>
const m = document.getElementById("m");
const report = r => fetch("/result", {method: "POST", body: JSON.stringify(r)});
m.onerror = () => report({error: "the image does not load"});
m.onload = async () => {
  try {
    const data = await (await fetch(m.src)).arrayBuffer();
    const decoder = new ImageDecoder({data, type: "image/gif"});
    await decoder.tracks.ready;
    await decoder.completed;
    const track = decoder.tracks.selectedTrack;
    let time = 0, width = 0, height = 0;
    for (let i = 0; i < track.frameCount; i++) {
      const {image} = await decoder.decode({frameIndex: i});
      time += image.duration / 1e6;
      width = image.displayWidth; height = image.displayHeight;
      image.close();
    }
    report({ended: true, time, duration: time, frames: track.frameCount, loops: String(track.repetitionCount),
      width, height, shownWidth: m.naturalWidth, shownHeight: m.naturalHeight});
  } catch (e) { report({error: "decode: " + e}); }
};
</script>"""


def available():
    return os.access(CHROMIUM, os.X_OK)


def play(path, timeout=120):
    """What the page saw of the movie at PATH (a dict), or {"error": ...}."""
    name = os.path.basename(path)
    page = (GIF_PAGE if name.endswith(".gif") else VIDEO_PAGE) % name
    results = []
    done = threading.Event()

    class Handler(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            if self.path == "/":
                body, kind = page.encode(), "text/html"
            elif self.path == "/" + name:
                with open(path, "rb") as f:
                    body = f.read()
                kind = {"mp4": "video/mp4", "webm": "video/webm", "gif": "image/gif"}[name.rsplit(".", 1)[1]]
            else:
                self.send_error(404)
                return
            self.send_response(200)
            self.send_header("Content-Type", kind)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def do_POST(self):
            results.append(json.loads(self.rfile.read(int(self.headers["Content-Length"]))))
            self.send_response(204)
            self.end_headers()
            done.set()

        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    profile = tempfile.mkdtemp(prefix="framelark_chromium_")
    browser = None
    try:
        browser = subprocess.Popen([CHROMIUM, *FLAGS, f"--user-data-dir={profile}",
                                    f"http://127.0.0.1:{server.server_port}/"],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        if not done.wait(timeout):
            return {"error": f"the page reported nothing in {timeout} s"}
        return results[0]
    finally:
        if browser:
            # Chromium's helpers share its session: end them all, then wait for the browser itself.
            try:
                os.killpg(browser.pid, 9)
            except ProcessLookupError:
                pass
            browser.wait()
        server.shutdown()
        server.server_close()
        shutil.rmtree(profile, ignore_errors=True)
