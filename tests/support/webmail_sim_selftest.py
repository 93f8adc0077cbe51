#!/usr/bin/python3
"""Checks the web-mail simulators against a reader that follows the program's
reading rules literally, marker by marker.

The reader below is deliberately naive: it searches the page text exactly as
the program's back-ends do (same markers, same offsets, same order), so a page
layout that only works for a clever parser fails here. Where the rules would
read past the text or loop forever, the reader stops at the end of the page
instead, as the program must.

Exit status 0 when every check passes.
"""

import datetime
import html.parser
import http.client
import http.cookiejar
import json
import os
import re
import select
import shutil
import signal
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import traceback
import urllib.error
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
SIM = os.path.join(HERE, "webmail_sim.py")
PYTHON = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable
NONE_ID = "[None]"

# ---------------------------------------------------------------- primitives


def val(text):
    """Numeric value of the leading number, blanks ignored (BASIC's Val)."""
    squeezed = "".join(ch for ch in text if ch not in " \t\n")
    match = re.match(r"[+-]?(\d+\.?\d*|\.\d+)([eEdD][+-]?\d+)?", squeezed)
    if not match:
        return 0
    number = match.group(0).replace("d", "e").replace("D", "e")
    value = float(number)
    return int(value) if value.is_integer() else value


def decode_entities(text):
    for entity, plain in (("&gt;", ">"), ("&lt;", "<"), ("&amp;", "&"),
                          ("&quot;", "'"), ("&nbsp;", " ")):
        text = text.replace(entity, plain)
    return text


def url_encode(text):
    out = []
    for ch in text:
        low = ch.lower()
        if ch == " ":
            out.append("+")
        elif ("0" <= low <= "9") or ("a" <= low <= "z") or ch in "*.-_@":
            out.append(ch)
        else:
            for byte in ch.encode("cp1252", "replace"):
                out.append("%%%02X" % byte)
    return "".join(out)


def get_form_field(name, page):
    start = page.find('name="' + name)
    if start < 0:
        return ""
    value = page.find("value=", start)
    if value < 0:
        return ""
    end = page.find('"', value + 7)
    return page[value + 7:end if end >= 0 else len(page)]


def strip_tags(text):
    while "<" in text:
        start = text.find("<")
        end = text.find(">", start)
        text = text[:start] + ("" if end < 0 else text[end + 1:])
    return text


def outside_tags(text, depth):
    kept = []
    for ch in text:
        if ch == "<":
            depth += 1
        elif ch == ">":
            depth -= 1
        elif depth == 0:
            kept.append(ch)
    return "".join(kept)


def vb_trim(text):
    return text.strip(" ")


def strip_body_mailcity(text):
    text = text.replace("</tr>", "\r\n")
    start = text.find("/display_next_email.femail")
    if start >= 0:
        end = text.find("<!-- END Display of MIME component(s) -->", start)
        text = outside_tags(text[start:end if end >= 0 else len(text)], 1)
    text = decode_entities(text).replace("Add to Address Book\r\n", "", 1)
    return vb_trim(text)


def strip_body_hotmail(text):
    start = text.find("From:")
    if start >= 0:
        end = text.find("<form name=", start)
        text = outside_tags(text[start:end if end >= 0 else len(text)], 0)
    return vb_trim(decode_entities(text))


def as_date(text):
    for fmt in ("%m/%d/%Y", "%m/%d/%y"):
        try:
            return datetime.datetime.strptime(text, fmt).date().isoformat()
        except ValueError:
            pass
    return None


def normalize_date(text):
    blank = text.find(" ")
    if blank > 4:  # beyond the fifth character
        text = text[:blank]
    return as_date(text) or text


def inner_text(page):
    class Text(html.parser.HTMLParser):
        def __init__(self):
            super().__init__()
            self.parts = []

        def handle_data(self, data):
            self.parts.append(data)

    reader = Text()
    reader.feed(page)
    return "".join(reader.parts)


# ---------------------------------------------------------------- accounts

class Clock:
    def __init__(self):
        self.now = datetime.datetime(2024, 3, 1, 12, 0, 0)

    def advance(self, minutes):
        self.now += datetime.timedelta(minutes=minutes)


class FetchError(Exception):
    def __init__(self, timed_out):
        super().__init__("timed out" if timed_out else "failed")
        self.timed_out = timed_out


ALL_ACCOUNTS = []


def is_any_busy():
    return any(acc.Busy for acc in ALL_ACCOUNTS)


def guarded(acc, failure, fetch_failed, work):
    """The busy rule around one back-end operation; a failed fetch ends it."""
    if is_any_busy():
        acc.Status = "busy"
        return failure
    acc.Busy = True
    try:
        return work()
    except FetchError as error:
        acc.Status = fetch_failed(error)
        return failure
    finally:
        acc.Busy = False


def listing_failed(error):
    return "Request TimeOut" if error.timed_out else "Connection Error"


def delete_failed(_error):
    return "Connect Error"


def delete_answer(acc, url, deleted, signed_out):
    """Fetches a delete address and reads the answer (alike on both services)."""
    page = acc.fetch(url)
    if check_web_error(acc, page):
        return False
    if signed_out in page.lower():
        acc.Status = "Username/password unknown"
        return False
    acc.Status, acc.LoginTime, acc.deleted = "", acc.clock.now, deleted
    return True


def delete_items(items, action):
    """The action list and the positions of the items "identifier,position"."""
    actions, deleted = "", []
    for item in items:
        ident, _, position = item.partition(",")
        actions += action % ident
        deleted.append(int(val(position)))
    return actions, deleted


class Account:
    def __init__(self, kind, home, user, password, clock, tls=None, jar=None, timeout=5):
        self.Type, self.home, self.Account, self.Password = kind, home, user, password
        self.clock, self.timeout = clock, timeout
        self.jar = jar if jar is not None else http.cookiejar.CookieJar()
        handlers = [urllib.request.HTTPCookieProcessor(self.jar)]
        if tls is not None:
            handlers.append(urllib.request.HTTPSHandler(context=tls))
        self.opener = urllib.request.build_opener(*handlers)
        self.WebServer, self.LoginTime, self.Status, self.Busy = "", None, "", False
        self.Web1 = self.Web2 = self.Web3 = self.Web4 = self.Web5 = ""
        self.MsgCount, self.NewCount = 0, 0
        self.text2 = ""
        self.clear_lists()
        ALL_ACCOUNTS.append(self)

    def clear_lists(self):
        self.From, self.Subject, self.Date, self.Size = {}, {}, {}, {}
        self.MsgRef, self.MsgID, self.MsgID2, self.IsNew = {}, {}, {}, {}

    def fetch(self, url, data=None):
        """GET (or POST with data); the page text lands in text2 as well."""
        try:
            request = urllib.request.Request(url, data=data)
            with self.opener.open(request, timeout=self.timeout) as answer:
                body, ctype = answer.read(), answer.headers.get("Content-Type", "")
        except urllib.error.HTTPError as error:
            body, ctype = error.read(), error.headers.get("Content-Type", "")
        except (socket.timeout, TimeoutError) as error:
            raise FetchError(True) from error
        except urllib.error.URLError as error:
            raise FetchError(isinstance(error.reason, (socket.timeout, TimeoutError))) from error
        except (http.client.HTTPException, ConnectionError, OSError) as error:
            raise FetchError(False) from error
        charset = re.search(r"charset=([\w-]+)", ctype)
        self.text2 = body.decode(charset.group(1) if charset else "cp1252", "replace")
        return self.text2


def ensure_login(acc):
    stale = acc.LoginTime is None or abs(
        (acc.clock.now - acc.LoginTime).total_seconds()) // 60 > 59
    if not stale:
        return True
    acc.Web1 = acc.Web2 = acc.Web3 = acc.Web4 = acc.Web5 = ""
    acc.MsgRef[0] = ""
    acc.NewCount = 0
    return login_to_home(acc)


def login_to_home(acc):
    home = acc.home if "://" in acc.home else "http://" + acc.home
    try:
        page = acc.fetch(home + "/")
    except FetchError:
        acc.Status = "connection error"
        return False
    marker, cut = {"MailCity": ('name="login_form" action=', "/login"),
                   "HotMail": ('name="passwordform" action=', "/cgi-bin")}[acc.Type]
    start = page.find(marker)
    if start < 0:
        acc.Status = "Home page connect error"
        return False
    open_quote = page.find('"', start + len(marker))
    action = page[open_quote + 1:page.find('"', open_quote + 1)]
    if action.find(cut) < 0:
        acc.Status = "Home page connect error"
        return False
    acc.WebServer = action[:action.find(cut)]
    acc.LoginTime = acc.clock.now
    return True


def check_web_error(acc, page):
    if "<HTML><HEAD><TITLE>Socket Error</TITLE></HEAD>" in page:
        acc.Status = "Socket Error"
    elif "</H1><P><P>Connection to Remote Host timed out" in page or page == "":
        acc.Status = "Connection Error"
    else:
        return False
    acc.Busy = False
    return True


def first_link(low, start):
    """The next absolute address; https is accepted as well as http."""
    hits = [i for i in (low.find("http://", start), low.find("https://", start)) if i >= 0]
    return min(hits) if hits else -1


# ---------------------------------------------------------------- MailCity

def get_mailcity(acc, limit):
    return guarded(acc, -1, listing_failed, lambda: _get_mailcity(acc, limit))


def _get_mailcity(acc, limit):
    ensure_login(acc)
    if acc.WebServer == "":
        return -1
    page = acc.fetch(acc.WebServer + "/login.notfemail?user=" + acc.Account + "&passwd="
                     + acc.Password + "&version=1&partner_key=mailcity")
    if check_web_error(acc, page):
        return -1
    if "<strong>authorization failed</strong>" in page.lower():
        acc.Status = "Username/password unknown"
        return -1
    found = page.find("gmm.femail")
    quote = page.rfind('"', 0, found) if found >= 0 else -1
    if quote < 0:
        acc.Status = "HTML Page format error"
        return -1
    inbox = page[quote + 1:page.find('"', quote + 1)]
    page = acc.fetch(inbox + "?from=0")
    if check_web_error(acc, page):
        return -1
    marker = page.find("status='Sort by WHO';return true")
    if marker < 0:
        acc.Status = "HTML Page format error"
        return -1
    link = page.find("<a href=", marker)
    sort = page.find("gmm_sort", link)
    acc.Web2 = page[link + 9:sort] if link >= 0 and sort >= 0 else ""
    count_at = page.find("message(s),")
    paren = page.rfind("(", 0, count_at) if count_at >= 0 else -1
    if paren < 0:
        acc.Status = "HTML Page format error"
        return -1
    count = int(val(page[paren + 1:paren + 6]))
    if limit == -2:
        return 0
    acc.MsgCount = count
    n = min(count, limit) if limit >= 0 else count
    k, offset, start = 0, 0, count_at
    while True:
        k = mailcity_rows(acc, page, start, k, n)
        offset += 20
        if k >= n or offset >= n:
            break
        page = acc.fetch(inbox + "?from=" + str(offset))
        if check_web_error(acc, page):
            return -1
        start = 0
    if n > 0 and k == 0:
        acc.Status = "HTML Page format error"
        return -1
    for position in range(k, acc.MsgCount):
        acc.MsgID[position] = NONE_ID
    acc.Status = ""
    acc.LoginTime = acc.clock.now
    return acc.MsgCount


def mailcity_rows(acc, page, pos, k, n):
    low = page.lower()
    while k < n:
        row = low.find("!1inbox:", pos)
        if row < 0:
            break
        end = mailcity_row(acc, page, low, row, k)
        if end < 0:
            break
        k, pos = k + 1, end
    return k


def font_cell(page, low, marker, start):
    """(value without the character before </font>, that character, end) or None."""
    at = low.find(marker, start)
    if at < 0:
        return None
    close = low.find("</font>", at + 5)
    if close < 0:
        return None
    return page[at + 5:close - 1], page[close - 1:close], close


def mailcity_row(acc, page, low, pos, k):
    cell = font_cell(page, low, '"-1"', pos)
    if cell is None:
        return -1
    sender, _, pos = cell
    link = first_link(low, pos)
    quote = low.find('"', link) if link >= 0 else -1
    if quote < 0:
        return -1
    ref = page[link:quote]
    docid_at, amp = ref.find("docid="), -1
    if docid_at >= 0:
        amp = ref.find("&", docid_at + 6)
    docid = ref[docid_at + 6:amp] if amp >= 0 else ""
    m_at = docid.find(":M:")
    gt = low.find(">", quote)
    close_a = low.find("</a", gt + 1) if gt >= 0 else -1
    if docid_at < 0 or amp < 0 or m_at < 0 or close_a < 0:
        return -1
    subject = strip_body_mailcity(strip_tags(vb_trim(page[gt + 1:close_a - 1])))
    date = font_cell(page, low, "-1", close_a)
    size = font_cell(page, low, "-1", date[2]) if date else None
    if size is None:
        return -1
    unit = size[1].lower()
    acc.From[k] = decode_entities(vb_trim(sender))
    acc.MsgRef[k], acc.MsgID[k], acc.MsgID2[k] = ref, docid[:m_at], docid[m_at:m_at + 4]
    acc.Subject[k] = subject
    acc.Date[k] = normalize_date(vb_trim(decode_entities(date[0])))
    acc.Size[k] = val(vb_trim(size[0])) * {"k": 1000, "m": 1000000}.get(unit, 1)
    return size[2]


def del_mes_mailcity(acc, items):
    return guarded(acc, False, delete_failed, lambda: _del_mes_mailcity(acc, items))


def _del_mes_mailcity(acc, items):
    ensure_login(acc)
    if acc.WebServer == "":
        return False
    actions, deleted = delete_items(items, "&docid=%s")
    ref = acc.MsgRef.get(deleted[-1], "")
    docid = ref.find("docid=")
    if docid < 0 or ref.find("&", docid + 6) < 0 or "display" not in ref:
        acc.Status = "HTML Delete Error"
        return False
    url = (ref[:ref.find("display")] + "gmm_multiplex.femail?%2Fgmm_delete.femail=delete"
           "&folder_top=&actions=" + actions + "&folder_bottom=")
    return delete_answer(acc, url, deleted, "<strong>authorization failed</strong>")


def send_mailcity(acc, subject, to, cc, bcc, body):
    if is_any_busy():
        acc.Status = "busy"
        return False
    try:
        ensure_login(acc)
        if acc.WebServer == "":
            return False
        if acc.Web1 == "":
            if acc.Web2 == "":
                if get_mailcity(acc, -2) == -1:
                    return False
                acc.Busy = True
                at = acc.text2.find("get action")
                if at < 0:
                    return False
                address = acc.text2[at + 12:acc.text2.find('"', at + 12)]
                acc.Web2 = address[:address.find("gmm_multiplex.femail")]
            acc.Busy = True
            page = acc.fetch(acc.Web2 + "showcm.femail")
            if check_web_error(acc, page):
                return False
            marker = "name=compid value="
            at = page.find(marker)
            if at < 0:
                return False
            open_quote = page.find('"', at + len(marker))
            acc.Web1 = page[open_quote + 1:page.find('"', open_quote + 1)]
        acc.Busy = True
        page = acc.fetch(
            acc.Web2 + "gmm_multiplex.femail?actions=&compid=" + acc.Web1 + "&%2Fcmdo.femail=send"
            + "&to=" + url_encode(to) + "&subject=" + url_encode(subject) + "&cc="
            + url_encode(cc) + "&bcc=" + url_encode(bcc) + "&ORIG_DRAFT_DOCID=&body="
            + url_encode(body))
        if check_web_error(acc, page):
            return False
        if "<!--operation Sent successfull -->" in page:
            acc.LoginTime, acc.Status = acc.clock.now, ""
            return True
        acc.Status = "MailCity returned an error"
        return False
    except FetchError:
        return False
    finally:
        acc.Busy = False


# ---------------------------------------------------------------- HotMail

def get_hotmail(acc, limit):
    return guarded(acc, -1, listing_failed, lambda: _get_hotmail(acc, limit))


def _get_hotmail(acc, limit):
    for attempt in (1, 2):
        ensure_login(acc)
        if acc.WebServer == "":
            return -1
        page = acc.fetch(acc.WebServer + "/cgi-bin/start?login=" + acc.Account + "&passwd="
                         + acc.Password + "&enter=Enter&frames=no&curmbox=ACTIVE&js=no")
        if check_web_error(acc, page):
            return -1
        if "size=5>we're sorry" not in page.lower():
            break
        acc.LoginTime = None
    low = page.lower()
    if "invalid login" in low:
        acc.Status = "Username/password unknown"
        return -1
    if limit == -2:
        return 0
    for position in range(acc.MsgCount):
        acc.IsNew[position] = False
    get_form = page.find('method="get"')
    if get_form >= 0 and page.find("action=", get_form) >= 0:
        action = page.find("action=", get_form)
        first = page.find('"', action)
        acc.Web5 = page[first + 1:page.find('"', first + 1)]
    elif page.find("action=") >= 0 and page.find("method", page.find("action=")) >= 0:
        action = page.find("action=")
        acc.Web5 = page[action + 7:page.find("method", action)]
    else:
        acc.Status = "HTML Format Error"
        return -1
    count_at = page.find("messages,")
    gt = page.rfind(">", 0, count_at) if count_at >= 0 else -1
    if gt < 0:
        acc.Status = "HTML Page format error"
        return -1
    acc.MsgCount = count = int(val(page[gt + 1:gt + 6]))
    n = limit if limit >= 0 and count != 0 else count
    marker = 'tr bgcolor="#eeeecc"'
    k, row, broken = 0, low.find(marker, count_at), False
    while row >= 0 and k < n:
        end = hotmail_row(acc, page, low, row, k)
        if end < 0:
            broken = True
            break
        k, row = k + 1, low.find(marker, end)
    if k == 0 and n > 0 and limit != 0:
        acc.Status = "HTML Page format error"
        return -1
    if broken:
        acc.Status = "HTML Parse error"
        return -1
    acc.Status, acc.LoginTime, acc.rows_read = "", acc.clock.now, k
    return acc.MsgCount


def td_cell(page, low, start):
    at = low.find("<td>&nbsp;", start)
    close = low.find("&nbsp;</td>", at + 10) if at >= 0 else -1
    if close < 0:
        return None
    return vb_trim(page[at + 10:close]), close


def hotmail_row(acc, page, low, pos, k):
    path = low.find("/cgi-bin", pos)
    quote = low.find('"', path) if path >= 0 else -1
    if quote < 0:
        return -1
    ref = acc.WebServer + page[path:quote]
    msg_at = ref.find("&msg=")
    if msg_at < 0:
        return -1
    amp = ref.find("&", msg_at + 5)
    close_a = low.find("</a>", quote + 2)
    date = td_cell(page, low, close_a) if close_a >= 0 else None
    subject = td_cell(page, low, date[1]) if date else None
    marker = 'right">&nbsp'
    size_at = low.find(marker, subject[1]) if subject else -1
    size_end = low.find("&nbsp", size_at + len(marker) + 1) if size_at >= 0 else -1
    if size_end < 0:
        return -1
    acc.MsgRef[k] = ref
    acc.MsgID[k] = ref[msg_at + 5:amp if amp >= 0 else len(ref)]
    acc.From[k] = decode_entities(vb_trim(page[quote + 2:close_a]))
    acc.Date[k] = as_date(strip_tags(date[0])) or strip_tags(date[0])
    acc.Subject[k] = strip_body_hotmail(subject[0])
    unit = page[size_end - 1:size_end].lower()
    acc.Size[k] = val(page[size_at + len(marker) + 1:size_end]) * {
        "k": 1000, "m": 1000000}.get(unit, 1)
    return size_end


def del_mes_hotmail(acc, items):
    return guarded(acc, False, delete_failed, lambda: _del_mes_hotmail(acc, items))


def _del_mes_hotmail(acc, items):
    if acc.Web5 == "":
        acc.Busy = False
        if get_hotmail(acc, -1) == -1:
            return False
        acc.Busy = True
    ensure_login(acc)
    if acc.WebServer == "":
        return False
    actions, deleted = delete_items(items, "&%s=on")
    ref = acc.MsgRef.get(deleted[-1], "")
    if "?disk" in ref:
        url = (acc.Web5 + ref[ref.find("?disk"):ref.find("&msg")] + "&js=&foo=inbox"
               + actions + "&tobox=&Delete.x=Delete")
    else:
        url = ref
    return delete_answer(acc, url, deleted, "did you type in your username and password?")


def send_hotmail(acc, subject, to, cc, bcc, body):
    if is_any_busy():
        acc.Status = "busy"
        return False
    ensure_login(acc)
    if acc.WebServer == "":
        return False
    try:
        if acc.Web1 == "" and not hotmail_compose_form(acc):
            return False
        acc.Busy = True
        data = (acc.Web4 + "&msg=&start=&len=&attfile=&type=&src=&sigflag=y&newmail=new&msghdrid="
                + acc.Web1 + "&Send.x=Send&" + "to=" + url_encode(to) + "&subject="
                + url_encode(subject) + "&cc=" + url_encode(cc) + "&bcc=" + url_encode(bcc)
                + "&body=" + url_encode(body))
        page = acc.fetch(acc.Web3, data=data.encode("cp1252", "replace"))
        if "message has been" in inner_text(page).lower():
            acc.LoginTime = acc.clock.now
            return True
        return False
    except FetchError:
        return False
    finally:
        acc.Busy = False


def hotmail_compose_form(acc):
    if get_hotmail(acc, -2) == -1:
        return False
    acc.Busy = True
    at = acc.text2.find("/cgi-bin/compose?disk")
    if at < 0:
        acc.Status = "HTML error"
        return False
    page = acc.fetch(acc.WebServer + acc.text2[at:acc.text2.find('"', at)])
    if check_web_error(acc, page):
        return False
    acc.Web1 = get_form_field("msghdrid", page)
    fields = [get_form_field(name, page) for name in ("disk", "login", "f")]
    action = page.find("action=")
    if acc.Web1 == "" or "" in fields or action < 0:
        acc.Status = "HTML error"
        return False
    acc.Web4 = "disk=%s&login=%s&f=%s" % tuple(fields)
    acc.Web3 = page[action + 8:page.find('"', action + 8)]
    return True


# ---------------------------------------------------------------- harness

FAILURES = []


def check(condition, what):
    if not condition:
        FAILURES.append(what)
        print("FAIL: " + what)
    return condition


class Sim:
    def __init__(self, *args, env=None):
        self.proc = subprocess.Popen([PYTHON, SIM] + list(args), stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, env=env)
        ready, _, _ = select.select([self.proc.stdout], [], [], 10)
        if not ready:
            self.proc.kill()
            raise RuntimeError("simulator did not start: %s" % (args,))
        info = json.loads(self.proc.stdout.readline())
        self.port, self.home = info["port"], info["home"]

    def ctl(self, method, path, body=None, context=None):
        data = json.dumps(body).encode() if body is not None else None
        request = urllib.request.Request(self.home + "/_sim/" + path, data=data, method=method)
        with urllib.request.urlopen(request, timeout=5, context=context) as answer:
            return json.loads(answer.read())

    def stop(self, with_signal=False):
        if with_signal:
            self.proc.send_signal(signal.SIGTERM)
        self.proc.stdin.close()
        try:
            return self.proc.wait(5)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            return None


def compare_rows(acc, expected, count, label):
    wrong = []
    for k in range(count):
        want = expected[k]
        exp = want["expect"]
        got = (acc.From.get(k), acc.Subject.get(k), acc.Size.get(k), acc.Date.get(k),
               acc.MsgRef.get(k), acc.MsgID.get(k))
        need = (exp["from"], exp["subject"], exp["size"], exp["date"], exp["msgref"],
                want["msgid"])
        if got != need or (acc.Type == "MailCity" and acc.MsgID2.get(k) != want["msgid2"]):
            wrong.append((k, got, need))
    check(not wrong, "%s: rows differ from the mailbox, first: %s" % (label, wrong[:1]))


def paths_requested(sim, path):
    return [entry for entry in sim.ctl("GET", "stats")["log"] if entry["path"] == path]


def check_primitives():
    check(decode_entities("&amp;lt;&quot;x&quot;&nbsp;") == "&lt;'x' ", "entity order")
    check(url_encode("a b&\r\nZ.@é") == "a+b%26%0D%0AZ.@%E9", "URL encoding")
    check(val("45 me") == 45 and val("12k") == 12 and val("1 2") == 12, "Val")
    check(normalize_date("01/05/2024 10:32") == "2024-01-05", "date cut at first blank")


# ---------------------------------------------------------------- MailCity checks

def mailcity_checks(sim, clock):
    sim.ctl("POST", "reset", {"messages": 42})
    added = [sim.ctl("POST", "messages", fields) for fields in (
        {"from": "Sizes <s@x.example>", "subject": "twelve k", "size": 12345},
        {"from": '"Q&A" <qa@x.example>', "subject": "two m & <more>", "size": 2000000},
        {"from": "Plain", "subject": "plain bytes", "size": 512})]
    acc = Account("MailCity", sim.home.split("://")[1], "user", "secret", clock)
    sim.ctl("POST", "stats/clear")
    check(get_mailcity(acc, -1) == 45, "MailCity: 45 messages listed (%s)" % acc.Status)
    offsets = [e["params"]["from"] for e in paths_requested(sim, "/mc/gmm.femail")]
    check(offsets == ["0", "20", "40"], "MailCity: pages at offsets 0, 20, 40, got %s" % offsets)
    box = sim.ctl("GET", "mailbox")["messages"]
    compare_rows(acc, box, 45, "MailCity 45")
    check([acc.Size[k] for k in range(3)] == [512, 2000000, 12000], "MailCity: plain, 2m, 12k")
    check(acc.From[1] == "'Q&A' <qa@x.example>" and acc.Subject[1] == "two m & <more>",
          "MailCity: entities in cells")
    check(added[0]["expect"]["size"] == 12000, "MailCity: expectation of 12k")

    page = acc.fetch(acc.MsgRef[5])
    check(strip_body_mailcity(page) == box[5]["expect"]["text"], "MailCity: message text")

    # Deletion, once by identifier and once by identifier + second part.
    items = ["%s,1" % acc.MsgID[1], "%s%s,3" % (acc.MsgID[3], acc.MsgID2[3])]
    gone = {box[1]["id"], box[3]["id"]}
    check(del_mes_mailcity(acc, items) and acc.Status == "", "MailCity: delete (%s)" % acc.Status)
    left = {m["id"] for m in sim.ctl("GET", "mailbox")["messages"]}
    check(len(left) == 43 and not gone & left, "MailCity: two messages deleted")

    # A limit of 20 on 35 messages reads one page and leaves the rest unnamed.
    sim.ctl("POST", "reset", {"messages": 35})
    sim.ctl("POST", "stats/clear")
    check(get_mailcity(acc, 20) == 35, "MailCity: limit 20 of 35 (%s)" % acc.Status)
    check(len(paths_requested(sim, "/mc/gmm.femail")) == 1, "MailCity: limit reads one page")
    check(all(acc.MsgID[p] == NONE_ID for p in range(20, 35)), "MailCity: [None] from 20")
    compare_rows(acc, sim.ctl("GET", "mailbox")["messages"], 20, "MailCity 20 of 35")

    mailcity_send_checks(sim, clock, acc)
    mailcity_failure_checks(sim, clock)


def mailcity_send_checks(sim, clock, acc):
    body = "Line one & more\r\nGabblet:\r\nHallo, café + 100%\r\n:Gabblet"
    sim.ctl("POST", "stats/clear")
    check(send_mailcity(acc, "Re: a+b & c", "bob@example.com", "c@x.example", "", body),
          "MailCity: first send (%s)" % acc.Status)
    sim.ctl("POST", "stats/clear")
    check(send_mailcity(acc, "second", "carol@example.com", "", "", "again"),
          "MailCity: second send")
    stats = sim.ctl("GET", "stats")
    check(stats["total"] == 1 and stats["last"]["path"] == "/mc/gmm_multiplex.femail",
          "MailCity: second send is one request, got %s" % stats["paths"])
    sent = sim.ctl("GET", "mailbox")["sent"]
    check(len(sent) == 2 and sent[0]["subject"] == "Re: a+b & c" and sent[0]["body"] == body
          and sent[0]["to"] == "bob@example.com" and sent[0]["cc"] == "c@x.example",
          "MailCity: sent message arrives intact: %s" % sent[:1])

    # A fresh account finds the command address through "get action".
    fresh = Account("MailCity", sim.home, "user", "secret", clock)
    check(send_mailcity(fresh, "hi", "dan@example.com", "", "", "x") and fresh.Web2 == acc.Web2,
          "MailCity: send from a fresh login")

    # The login renewal rule: kept at 59 minutes, renewed at 60.
    clock.advance(59)
    sim.ctl("POST", "stats/clear")
    check(ensure_login(acc) and sim.ctl("GET", "stats")["total"] == 0, "login kept at 59 min")
    clock.advance(1)
    check(ensure_login(acc) and sim.ctl("GET", "stats")["paths"] == {"/": 1}
          and acc.Web1 == "", "login renewed at 60 min")


def mailcity_failure_checks(sim, clock):
    sim.ctl("POST", "reset", {"messages": 3})
    wrong = Account("MailCity", sim.home, "user", "nope", clock)
    check(get_mailcity(wrong, -1) == -1 and wrong.Status == "Username/password unknown",
          "MailCity: wrong password refused (%s)" % wrong.Status)

    acc = Account("MailCity", sim.home, "user", "secret", clock)
    check(get_mailcity(acc, -1) == 3, "MailCity: listing before the session ends")
    sim.ctl("POST", "sessions/clear")
    check(not del_mes_mailcity(acc, ["%s,0" % acc.MsgID[0]])
          and acc.Status == "Username/password unknown", "MailCity: delete after session end")

    cases = [
        ({"mode": "nomarkers", "match": "/login.notfemail"}, "HTML Page format error"),
        ({"mode": "truncate", "match": "from=0", "after": "Sort by WHO"}, "HTML Page format error"),
        ({"mode": "empty", "match": "from=0"}, "Connection Error"),
        ({"mode": "cut", "match": "/login.notfemail", "at": 0.5}, "Connection Error"),
        ({"mode": "status", "match": "/login.notfemail", "status": 503}, "HTML Page format error"),
    ]
    for rule, status in cases:
        sim.ctl("POST", "misbehave", rule)
        check(get_mailcity(acc, -1) == -1 and acc.Status == status,
              "MailCity: %s gives %r, got %r" % (rule["mode"], status, acc.Status))
        check(get_mailcity(acc, -1) == 3, "MailCity: recovers after %s" % rule["mode"])

    # An oversized page keeps every marker; only its size is wrong.
    sim.ctl("POST", "misbehave", {"mode": "oversize", "match": "from=0", "bytes": 8400000})
    check(get_mailcity(acc, -1) == 3 and len(acc.text2) >= 8400000, "oversized page served")

    # Until cleared (count 0), the rule keeps applying.
    sim.ctl("POST", "misbehave", {"mode": "nomarkers", "count": 0, "match": "/login"})
    check(get_mailcity(acc, -1) == -1 and get_mailcity(acc, -1) == -1, "misbehave until cleared")
    sim.ctl("POST", "misbehave/clear")
    check(get_mailcity(acc, -1) == 3, "misbehave cleared")

    # A slow page times the reader out while the control API stays responsive.
    # The page is much slower than the time-out, so a loaded machine's delay
    # still leaves the two apart.
    sim.ctl("POST", "misbehave", {"mode": "slow", "delay": 5, "match": "/mc/gmm.femail"})
    acc.timeout = 0.4
    answers = []
    probe = threading.Timer(0.1, lambda: answers.append(sim.ctl("GET", "info")))
    probe.start()
    started = time.monotonic()
    result = get_mailcity(acc, -1)
    probe.join()
    check(result == -1 and acc.Status == "Request TimeOut" and time.monotonic() - started < 3.5,
          "MailCity: slow page times out (%s)" % acc.Status)
    check(len(answers) == 1, "control API answers during a slow page")
    acc.timeout = 5

    # A declared charset is honoured; none means Windows-1252.
    sim.ctl("POST", "messages", {"from": "José Müller", "subject": "Grüße €"})
    sim.ctl("POST", "config", {"charset": "utf-8"})
    check(get_mailcity(acc, -1) == 4 and acc.From[0] == "José Müller", "declared charset")
    sim.ctl("POST", "config", {"charset": ""})
    check(get_mailcity(acc, -1) == 4 and acc.Subject[0] == "Grüße €", "Windows-1252 pages")


# ---------------------------------------------------------------- HotMail checks

def hotmail_checks(sim, clock):
    sim.ctl("POST", "reset", {"messages": 30})
    for size in (3000, 12000, 2000000, 512):
        sim.ctl("POST", "messages", {"subject": "size %d" % size, "size": size})
    acc = Account("HotMail", sim.home.split("://")[1], "user", "secret", clock)
    sim.ctl("POST", "stats/clear")
    check(get_hotmail(acc, -1) == 34, "HotMail: 34 messages listed (%s)" % acc.Status)
    check(sim.ctl("GET", "stats")["paths"] == {"/": 1, "/cgi-bin/start": 1},
          "HotMail: one home page and one inbox page")
    box = sim.ctl("GET", "mailbox")["messages"]
    compare_rows(acc, box, 34, "HotMail 34")
    check([acc.Size[k] for k in range(4)] == [512, 2000000, 12000, 3000], "HotMail sizes")
    check(strip_body_hotmail(acc.fetch(acc.MsgRef[6])) == box[6]["expect"]["text"],
          "HotMail: message text")
    check(get_hotmail(acc, 20) == 34 and acc.rows_read == 20, "HotMail: limit 20")

    items = ["%s,2" % acc.MsgID[2], "%s,5" % acc.MsgID[5]]
    check(del_mes_hotmail(acc, items), "HotMail: delete (%s)" % acc.Status)
    left = {m["id"] for m in sim.ctl("GET", "mailbox")["messages"]}
    check(len(left) == 32 and not {box[2]["id"], box[5]["id"]} & left, "HotMail: deleted")

    sim.ctl("POST", "stats/clear")
    body = "Hi & bye\r\n100% sure + ok"
    check(send_hotmail(acc, "S&P < 500", "bob@example.com", "", "", body), "HotMail: first send")
    sim.ctl("POST", "stats/clear")
    check(send_hotmail(acc, "again", "eve@example.com", "", "", "2"), "HotMail: second send")
    stats = sim.ctl("GET", "stats")
    check(stats["total"] == 1 and stats["last"]["method"] == "POST"
          and stats["last"]["path"] == "/cgi-bin/postmsg",
          "HotMail: second send is only the POST, got %s" % stats["paths"])
    sent = sim.ctl("GET", "mailbox")["sent"]
    check(len(sent) == 2 and sent[0]["subject"] == "S&P < 500" and sent[0]["body"] == body,
          "HotMail: sent message arrives intact: %s" % sent[:1])

    hotmail_failure_checks(sim, clock)
    two_account_checks(sim, clock)


def hotmail_failure_checks(sim, clock):
    sim.ctl("POST", "reset", {"messages": 5})
    acc = Account("HotMail", sim.home, "user", "secret", clock)
    sim.ctl("POST", "apology", {"count": 1})
    check(get_hotmail(acc, -1) == 5, "HotMail: one apology page, then the inbox")
    paths = sim.ctl("GET", "stats")["paths"]
    check(paths.get("/") == 2 and paths.get("/cgi-bin/start") == 2, "apology: two logins")

    sim.ctl("POST", "apology", {"count": 2})
    check(get_hotmail(acc, -1) == -1 and acc.Status == "HTML Format Error"
          and acc.LoginTime is None, "HotMail: apology twice (%s)" % acc.Status)

    wrong = Account("HotMail", sim.home, "user", "bad", clock)
    check(get_hotmail(wrong, -1) == -1 and wrong.Status == "Username/password unknown",
          "HotMail: invalid login")

    check(get_hotmail(acc, -1) == 5, "HotMail: listing before the session ends")
    sim.ctl("POST", "sessions/clear")
    check(not del_mes_hotmail(acc, ["%s,0" % acc.MsgID[0]])
          and acc.Status == "Username/password unknown", "HotMail: delete after session end")

    third_id = sim.ctl("GET", "mailbox")["messages"][2]["msgid"]
    sim.ctl("POST", "misbehave", {"mode": "truncate", "match": "/cgi-bin/start",
                                  "after": "&msg=" + third_id})
    check(get_hotmail(acc, -1) == -1 and acc.Status == "HTML Parse error",
          "HotMail: page cut inside a row (%s)" % acc.Status)
    sim.ctl("POST", "misbehave", {"mode": "nomarkers", "match": "/cgi-bin/start"})
    check(get_hotmail(acc, -1) == -1 and acc.Status == "HTML Format Error",
          "HotMail: page without markers (%s)" % acc.Status)


def two_account_checks(sim, clock):
    sim.ctl("POST", "reset", {"messages": 4})
    alice = Account("HotMail", sim.home, "user", "secret", clock)
    bob = Account("HotMail", sim.home, "bob", "bobpw", clock)
    check(get_hotmail(alice, -1) == 4 and get_hotmail(bob, -1) == 4, "two accounts list")
    alice_ids = {alice.MsgID[k] for k in range(4)}
    check(not alice_ids & {bob.MsgID[k] for k in range(4)}, "two accounts: own mailboxes")
    check(send_hotmail(bob, "from bob", "x@example.com", "", "", "b"), "bob sends")
    check(send_hotmail(alice, "from alice", "y@example.com", "", "", "a"), "alice sends")
    users = {e["form"].get("subject"): e["user"] for e in paths_requested(sim, "/cgi-bin/postmsg")}
    check(users == {"from bob": "bob", "from alice": "user"}, "sends keep their own login")

    # A cookie jar shared by two accounts shows: the later login wins, and
    # the first account's next send arrives under the other login (refused).
    shared = http.cookiejar.CookieJar()
    first = Account("HotMail", sim.home, "user", "secret", clock, jar=shared)
    second = Account("HotMail", sim.home, "bob", "bobpw", clock, jar=shared)
    check(send_hotmail(first, "before", "z@example.com", "", "", "1"), "shared jar: first send")
    get_hotmail(second, -1)
    refused = not send_hotmail(first, "leak", "z@example.com", "", "", "2")
    leaked = [e for e in paths_requested(sim, "/cgi-bin/postmsg")
              if e["form"].get("subject") == "leak"]
    check(refused and leaked and leaked[-1]["user"] == "bob", "a shared cookie jar shows")


# ---------------------------------------------------------------- TLS

def tls_checks(env, clock, workdir):
    if shutil.which("openssl") is None:
        print("skip: no openssl for the TLS check")
        return []
    cert, key = os.path.join(workdir, "cert.pem"), os.path.join(workdir, "key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                    "ec_paramgen_curve:prime256v1", "-nodes", "-days", "1",
                    "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                    "-keyout", key, "-out", cert], check=True, capture_output=True)
    context = ssl.create_default_context(cafile=cert)
    sims = [Sim("--service", s, "--messages", "3", "--tls", "--cert", cert, "--key", key, env=env)
            for s in ("mailcity", "hotmail")]
    check(all(s.home.startswith("https://") for s in sims), "TLS homes are https")
    mc = Account("MailCity", sims[0].home, "user", "secret", clock, tls=context)
    hm = Account("HotMail", sims[1].home, "user", "secret", clock, tls=context)
    check(get_mailcity(mc, -1) == 3 and mc.MsgRef[0].startswith("https://"), "MailCity over TLS")
    check(get_hotmail(hm, -1) == 3 and hm.WebServer.startswith("https://"), "HotMail over TLS")
    return sims


# ---------------------------------------------------------------- main

def main():
    started = time.monotonic()
    workdir = tempfile.mkdtemp(prefix="webmail-sim-")
    env = dict(os.environ)
    env.setdefault("GABBLET_TEST_PORT_DIR", os.path.join(workdir, "ports"))
    clock = Clock()
    sims = []
    try:
        check_primitives()
        users = ["--user", "user", "--password", "secret", "--user", "bob", "--password", "bobpw"]
        mc = Sim("--service", "mailcity", "--messages", "45", *users, env=env)
        hm = Sim("--service", "hotmail", "--messages", "30", *users, env=env)
        sims += [mc, hm]
        check(mc.port != hm.port and os.path.exists(
            os.path.join(env["GABBLET_TEST_PORT_DIR"], str(mc.port))), "ports claimed")
        for run in (lambda: mailcity_checks(mc, clock), lambda: hotmail_checks(hm, clock),
                    lambda: sims.extend(tls_checks(env, clock, workdir))):
            try:
                run()
            except Exception:  # one broken scenario must not hide the others
                FAILURES.append(traceback.format_exc())
                print("FAIL:\n" + FAILURES[-1])
    finally:
        codes = [sim.stop(with_signal=(i == 1)) for i, sim in enumerate(sims)]
        shutil.rmtree(workdir, ignore_errors=True)
    check(codes and all(code == 0 for code in codes), "simulators exit cleanly: %s" % codes)
    print("%s: %d failure(s) in %.1f s" % ("FAILED" if FAILURES else "OK", len(FAILURES),
                                          time.monotonic() - started))
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
