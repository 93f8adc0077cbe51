#!/usr/bin/python3
"""Local stand-ins for the MailCity and HotMail web-mail services.

Both services are long gone; the program still reads them by searching their
pages for fixed texts. This server produces pages that carry exactly those
texts, keeps a mailbox per user in memory, and lets tests steer it through a
small JSON API under /_sim/. See tests/support/README.md for the page layout
and for every choice made where the program's reading rules leave room.

Usage:
  webmail_sim.py --service mailcity|hotmail [--user U --password P]...
                 [--messages N] [--tls --cert PEM --key KEY]

Prints one JSON line {"port": N, "home": "http://127.0.0.1:N"} when ready,
then serves until stdin reaches end of file, SIGTERM or SIGINT.
"""

import argparse
import datetime
import http.server
import json
import os
import secrets
import signal
import ssl
import sys
import threading
import urllib.parse
from dataclasses import dataclass, field

sys.dont_write_bytecode = True  # keep the source folder clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import testports  # noqa: E402

CRLF = "\r\n"
PAGE_CODEC = "cp1252"
MAX_POST = 16 * 1024 * 1024
LOG_KEEP = 500
ONE_PIXEL_GIF = bytes.fromhex(
    "47494638396101000100800000000000ffffff21f90401000000002c"
    "00000000010001000002024401003b")


# ---------------------------------------------------------------- text rules

def esc_cell(text):
    """Escapes a list cell the way the old services did, quotes included."""
    return (text.replace("&", "&amp;").replace("<", "&lt;")
            .replace(">", "&gt;").replace('"', "&quot;"))


def esc_text(text):
    """Escapes running text of a message page (quotes stay as they are)."""
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


def decode_entities(text):
    """What the program's entity decoder makes of a cell (order matters)."""
    for entity, plain in (("&gt;", ">"), ("&lt;", "<"), ("&amp;", "&"),
                          ("&quot;", "'"), ("&nbsp;", " ")):
        text = text.replace(entity, plain)
    return text


def roundtrip(text):
    """Keeps only what survives the pages' single-byte code page."""
    return text.encode(PAGE_CODEC, "replace").decode(PAGE_CODEC)


def size_cell(size):
    """Size as the services show it: plain bytes, or whole k or m units."""
    if size < 1000:
        return str(size)
    if size < 1000000:
        return "%dk" % max(1, round(size / 1000))
    return "%dm" % max(1, round(size / 1000000))


def size_value(size):
    """The number a reader gets back from size_cell()."""
    cell = size_cell(size)
    if cell.endswith("k"):
        return int(cell[:-1]) * 1000
    if cell.endswith("m"):
        return int(cell[:-1]) * 1000000
    return int(cell)


def page_lines(*lines):
    return CRLF.join(lines) + CRLF


# ---------------------------------------------------------------- mailboxes

SENDERS = [
    "Alice Smith <alice.smith@example.com>",
    '"Bob Jones" <bob.jones@example.net>',
    "AT&T Billing <billing@att.example.com>",
    "José Müller <jose.mueller@example.de>",
    "Carol White",
    "Travel Deals <deals@travel.example.org>",
    "Dave O'Brien <dave@example.ie>",
    "Mailing list <list-owner@lists.example.org>",
]
SUBJECTS = [
    "Lunch on Friday?",
    "Re: Project plan & budget",
    "Your statement is ready",
    "Photos from the trip",
    "Meeting moved to 3pm",
    "Café opening: €5 off this week",
    "Re: Re: <draft> quarterly numbers",
    "Weekly digest #42",
]
BODIES = [
    "Hi,\r\n\r\nAre we still on for lunch on Friday?\r\n\r\nAlice",
    "Attached is the plan. Costs are < 5% over \"budget\" & rising.\r\n\r\nBob",
    "Your monthly statement is ready to view.",
    "Here are the photos from our trip.\r\nThe big one is the lake at dawn.",
    "The meeting moved to 3pm, same room.",
    "Come and see us: coffee & cake for everyone.",
    "> What are the numbers?\r\nSee below; they are not final yet.",
    "This week: 12 new posts, 3 replies to your threads.",
]
SIZES = [512, 2345, 12000, 874, 2000000, 45120, 3100, 1250000, 760, 98000]


@dataclass
class Message:
    id: int
    sender: str
    subject: str
    body: str
    size: int
    date: datetime.datetime
    to: str
    read: bool = False


@dataclass
class User:
    name: str
    password: str
    index: int
    messages: list = field(default_factory=list)  # newest first
    sent: list = field(default_factory=list)


@dataclass
class Session:
    token: str
    user: User
    forms: set = field(default_factory=set)  # compid / msghdrid values issued


@dataclass
class Page:
    text: object  # str, or bytes for binary answers
    status: int = 200
    cookies: list = field(default_factory=list)
    ctype: str = "text/html"
    marked: bool = True  # a page a misbehaviour rule may damage


# ---------------------------------------------------------------- services

class Service:
    """State and pages shared by both services."""

    cookie = "SID"
    domain = "example.com"

    def __init__(self, base, users, seed_count):
        self.base = base
        self.lock = threading.RLock()
        self.next_id = 1000
        self.seed_count = seed_count
        self.charset = None
        self.users = {}
        for name, password in users:
            self.add_user(name, password, seed_count)
        self.clear_runtime()

    # state -----------------------------------------------------------------
    def clear_runtime(self):
        self.sessions = {}
        self.apology = 0
        self.misbehave = None
        self.clear_stats()

    def clear_stats(self):
        self.total = 0
        self.per_path = {}
        self.log = []

    def add_user(self, name, password, count):
        user = User(name, password, len(self.users))
        self.users[name] = user
        self.seed(user, count)
        return user

    def seed(self, user, count):
        user.messages, user.sent = [], []
        now = datetime.datetime.now().replace(second=0, microsecond=0)
        for i in range(count):
            k = i + 3 * user.index  # each user gets a different mix
            msg = self.new_message(
                user, SENDERS[k % len(SENDERS)],
                SUBJECTS[(k * 3) % len(SUBJECTS)] + ("" if i < len(SUBJECTS) else " (%d)" % i),
                BODIES[k % len(BODIES)], SIZES[k % len(SIZES)],
                now - datetime.timedelta(hours=5 * (count - i)))
            user.messages.insert(0, msg)

    def new_message(self, user, sender, subject, body, size, date):
        self.next_id += 1
        return Message(self.next_id, roundtrip(sender), roundtrip(subject),
                       roundtrip(body), int(size), date,
                       "%s@%s" % (user.name, self.domain))

    def login(self, name, password):
        user = self.users.get(name)
        if user is None or not password or user.password != password:
            return None
        session = Session(secrets.token_hex(12), user)
        self.sessions[session.token] = session
        return session

    def session_of(self, cookie_pairs):
        for key, value in cookie_pairs:
            if key == self.cookie and value in self.sessions:
                return self.sessions[value]
        return None

    def set_cookie(self, session):
        return "%s=%s; Path=/; HttpOnly" % (self.cookie, session.token)

    def command(self, handler, params, session):
        """A page behind the login: only with a live session."""
        if handler is None:
            return None
        if session is None:
            return Page(self.signed_out())
        return handler(params, session)

    def find(self, user, msg_id):
        for msg in user.messages:
            if msg.id == msg_id:
                return msg
        return None

    def record_sent(self, session, params, **extra):
        item = {k: params.get(k, "") for k in ("to", "cc", "bcc", "subject", "body")}
        item.update(extra)
        session.user.sent.append(item)
        return item

    # description for the control API --------------------------------------
    def describe(self, msg):
        date = msg.date.date().isoformat()
        return {"id": msg.id, "from": msg.sender, "subject": msg.subject,
                "body": msg.body, "size": msg.size, "size_cell": size_cell(msg.size),
                "date": msg.date.isoformat(sep=" "), "read": msg.read,
                "to": msg.to, "expect": self.expect(msg, date)}

    def expect(self, msg, date):
        return {"from": decode_entities(esc_cell(msg.sender)).strip(),
                "subject": decode_entities(esc_cell(msg.subject)).strip(),
                "size": size_value(msg.size), "date": date,
                "text": self.message_text(msg)}

    def message_text(self, msg):
        """The message page's header and body text as the program cuts it out."""
        text = "From: %s\r\nTo: %s\r\nSubject: %s\r\nDate: %s\r\n\r\n%s" % (
            msg.sender, msg.to, msg.subject, long_date(msg.date), msg.body)
        return decode_entities(esc_text(text)).strip(" ")

    @staticmethod
    def unavailable():
        return page_lines(
            "<html><head><title>Service unavailable</title></head><body>",
            "<p>The service is temporarily unavailable. Please try again later.</p>",
            "</body></html>")


def long_date(date):
    return date.strftime("%a, %d %b %Y %H:%M")


def list_date(date):
    return date.strftime("%m/%d/%Y")


class MailCity(Service):
    cookie = "MC_SESSION"
    domain = "mailcity.com"
    name = "mailcity"

    def docid(self, msg):
        return "!1INBOX:%d:M:%d" % (msg.id, msg.id % 10)

    def msg_id(self, msg):
        return "!1INBOX:%d" % msg.id

    def msg_path(self, msg):
        return "/mc/display.femail?docid=%s&folder=INBOX" % self.docid(msg)

    def describe(self, msg):
        info = super().describe(msg)
        info.update(msgid=self.msg_id(msg), msgid2=":M:%d" % (msg.id % 10),
                    ref=self.msg_path(msg))
        info["expect"]["msgref"] = self.base + self.msg_path(msg)
        info["expect"]["date_cell"] = msg.date.strftime("%m/%d/%Y %H:%M")
        return info

    def route(self, method, path, params, form, session):
        if path == "/":
            return Page(self.home())
        if path == "/login.notfemail":
            return self.do_login(params)
        if path == "/img/next.gif":
            return Page(ONE_PIXEL_GIF, ctype="image/gif", marked=False)
        handlers = {"/mc/gmm.femail": self.inbox, "/mc/gmm_sort.femail": self.inbox,
                    "/mc/display.femail": self.message,
                    "/mc/display_next_email.femail": self.next_message,
                    "/mc/showcm.femail": self.compose,
                    "/mc/gmm_multiplex.femail": self.multiplex}
        return self.command(handlers.get(path), params, session)

    # pages -----------------------------------------------------------------
    def home(self):
        return page_lines(
            "<html><head><title>MailCity</title></head><body>",
            "<h1>MailCity</h1><p>Free e-mail for everyone, from anywhere.</p>",
            '<form name="login_form" action="%s/login.notfemail" method=get>' % self.base,
            "Member name: <input type=text name=user size=16><br>",
            "Password: <input type=password name=passwd size=16><br>",
            "<input type=hidden name=version value=1>",
            "<input type=hidden name=partner_key value=mailcity>",
            '<input type=submit value="Log in">',
            "</form></body></html>")

    def signed_out(self):
        return page_lines(
            "<html><head><title>MailCity - Log in</title></head><body>",
            "<p><strong>Authorization failed</strong></p>",
            "<p>The member name or password is not correct, or your session has ended.</p>",
            "</body></html>")

    def do_login(self, params):
        session = self.login(params.get("user", ""), params.get("passwd", ""))
        if session is None:
            return Page(self.signed_out())
        text = page_lines(
            "<html><head><title>MailCity - Welcome</title></head><body>",
            "<p>Welcome, %s.</p>" % esc_text(session.user.name),
            '<p><a href="%s/mc/gmm.femail">Inbox</a> | '
            '<a href="%s/mc/showcm.femail">Write a message</a></p>' % (self.base, self.base),
            "</body></html>")
        return Page(text, cookies=[self.set_cookie(session)])

    def inbox(self, params, session):
        try:
            offset = max(0, int(params.get("from", "0") or "0"))
        except ValueError:
            offset = 0
        msgs = session.user.messages
        unread = sum(1 for m in msgs if not m.read)
        mc = self.base + "/mc/"
        sort = ('<td><a href="%sgmm_sort.femail?sort=%s" '
                "onMouseOver=\"window.status='Sort by %s';return true\">%s</a></td>")
        lines = [
            "<html><head><title>MailCity - Inbox</title></head><body>",
            '<form name="folder" method=get action="%sgmm_multiplex.femail">' % mc,
            "<p>Inbox (%d message(s), %d unread)</p>" % (len(msgs), unread),
            '<table width="100%"><tr><td>&nbsp;</td>',
            sort % (mc, "who", "WHO", "From"), sort % (mc, "subject", "SUBJECT", "Subject"),
            sort % (mc, "date", "DATE", "Date"), sort % (mc, "size", "SIZE", "Size") + "</tr>"]
        lines += [self.row(m) for m in msgs[offset:offset + 20]]
        lines.append("</table>")
        lines.append('<input type=submit name="/gmm_delete.femail" value="Delete"></form>')
        if offset + 20 < len(msgs):
            lines.append('<p><a href="%sgmm.femail?from=%d">Next 20</a></p>' % (mc, offset + 20))
        lines.append("</body></html>")
        return Page(page_lines(*lines))

    def row(self, msg):
        # The reader drops the character just before each closing tag and
        # starts date and size one character after their font tag, hence
        # the blanks around those values.
        unit = size_cell(msg.size)
        if not unit[-1].isalpha():
            unit += " "
        return ('<tr><td><input type=checkbox name=docid value="%s"></td>'
                '<td><font size="-1">%s </font></td>'
                '<td><font size="-1"><a href="%s%s">%s </a></font></td>'
                '<td><font size="-1"> %s </font></td>'
                '<td><font size="-1"> %s</font></td></tr>') % (
            self.docid(msg), esc_cell(msg.sender), self.base, self.msg_path(msg),
            esc_cell(msg.subject), msg.date.strftime("%m/%d/%Y %H:%M"), unit)

    def message_from_params(self, params, session):
        docid = params.get("docid", "")
        try:
            msg_id = int(docid.split(":")[1])
        except (IndexError, ValueError):
            return None
        return self.find(session.user, msg_id)

    def message(self, params, session, msg=None):
        msg = msg or self.message_from_params(params, session)
        if msg is None:
            return Page(page_lines("<html><body><p>This message no longer exists.</p>",
                                   "</body></html>"))
        msg.read = True
        mc = self.base + "/mc/"
        text = page_lines(
            "<html><head><title>MailCity - Read Message</title></head><body>",
            '<p><a href="%sgmm.femail">Inbox</a> ' % mc
            + '<a href="%sdisplay_next_email.femail?docid=%s&folder=INBOX">' % (mc, self.docid(msg))
            + '<img src="%s/img/next.gif" alt="Next" border=0></a>' % self.base
            + "<table><tr><td>From: %s</td></tr>" % esc_text(msg.sender)
            + '<tr><td><a href="%saddrbook.femail?docid=%s">Add to Address Book</a></td></tr>'
            % (mc, self.docid(msg))
            + "<tr><td>To: %s</td></tr>" % esc_text(msg.to)
            + "<tr><td>Subject: %s</td></tr>" % esc_text(msg.subject)
            + "<tr><td>Date: %s</td></tr></table>" % long_date(msg.date),
            "<pre>%s</pre><!-- END Display of MIME component(s) -->" % esc_text(msg.body),
            "</body></html>")
        return Page(text)

    def next_message(self, params, session):
        msg = self.message_from_params(params, session)
        msgs = session.user.messages
        if msg is not None and msgs.index(msg) + 1 < len(msgs):
            return self.message(params, session, msgs[msgs.index(msg) + 1])
        return self.inbox({}, session)

    def compose(self, params, session):
        compid = "C%s" % secrets.token_hex(6)
        session.forms.add(compid)
        text = page_lines(
            "<html><head><title>MailCity - Write</title></head><body>",
            '<form name="compose" method=get action="%s/mc/gmm_multiplex.femail">' % self.base,
            '<input type=hidden name=compid value="%s">' % compid,
            '<input type=hidden name=actions value="">',
            "To: <input type=text name=to size=40><br>",
            "Cc: <input type=text name=cc size=40><br>",
            "Bcc: <input type=text name=bcc size=40><br>",
            "Subject: <input type=text name=subject size=40><br>",
            "<textarea name=body rows=12 cols=60></textarea><br>",
            '<input type=submit name="/cmdo.femail" value="send">',
            "</form></body></html>")
        return Page(text)

    def multiplex(self, params, session):
        if params.get("/gmm_delete.femail") == "delete":
            wanted = set(params.getlist("docid"))
            user = session.user
            user.messages = [m for m in user.messages
                             if self.msg_id(m) not in wanted and self.docid(m) not in wanted]
            return self.inbox({}, session)
        if params.get("/cmdo.femail") == "send":
            return self.send(params, session)
        return Page(page_lines("<html><body><p>Unknown command.</p></body></html>"))

    def send(self, params, session):
        compid = params.get("compid", "")
        problem = None
        if compid not in session.forms:
            problem = "this message form has expired"
        elif not params.get("to", "").strip():
            problem = "no recipient was given"
        if problem:
            return Page(page_lines(
                "<html><head><title>MailCity - Error</title></head><body>",
                "<p>Your message could not be sent: %s.</p></body></html>" % problem))
        self.record_sent(session, params, compid=compid)
        return Page(page_lines(
            "<html><head><title>MailCity - Sent</title></head><body>",
            "<!--operation Sent successfull -->",
            "<p>Your message was sent to %s.</p>" % esc_text(params.get("to", "")),
            "</body></html>"))


class HotMail(Service):
    cookie = "MSPAuth"
    domain = "hotmail.com"
    name = "hotmail"
    f_value = "33792"

    def disk(self, user):
        return "216.33.236.24_d%d" % (1171 + user.index)

    def msg_id(self, msg):
        return "MSG%d.%d" % (917000000 + msg.id * 37, msg.id % 7)

    def common_query(self, user):
        return "disk=%s&login=%s&f=%s" % (
            self.disk(user), urllib.parse.quote(user.name, safe=""), self.f_value)

    def msg_path(self, user, msg):
        return "/cgi-bin/getmsg?%s&msg=%s&start=0&len=%d&curmbox=ACTIVE" % (
            self.common_query(user), self.msg_id(msg), msg.size)

    def user_of(self, msg):
        return next(u for u in self.users.values() if msg in u.messages)

    def describe(self, msg):
        info = super().describe(msg)
        path = self.msg_path(self.user_of(msg), msg)
        info.update(msgid=self.msg_id(msg), ref=path)
        info["expect"]["msgref"] = self.base + path
        info["expect"]["date_cell"] = list_date(msg.date)
        return info

    def route(self, method, path, params, form, session):
        if path == "/":
            return Page(self.home())
        if path == "/cgi-bin/start":
            return self.do_login(params)
        if path == "/cgi-bin/dologin" and method == "POST":
            return self.do_login(form)
        handlers = {"/cgi-bin/HoTMaiL": self.folder, "/cgi-bin/getmsg": self.message,
                    "/cgi-bin/compose": self.compose}
        if path == "/cgi-bin/postmsg" and method == "POST":
            handlers[path] = lambda _params, s: self.send(form, s)
        return self.command(handlers.get(path), params, session)

    # pages -----------------------------------------------------------------
    def home(self):
        return page_lines(
            "<html><head><title>Hotmail</title></head><body>",
            "<h1>Hotmail</h1><p>The world's free web-based e-mail.</p>",
            '<form name="passwordform" action="%s/cgi-bin/dologin" method="post">' % self.base,
            'Login Name: <input type="text" name="login" size=16><br>',
            'Password: <input type="password" name="passwd" size=16><br>',
            '<input type="submit" name="enter" value="Enter">',
            "</form></body></html>")

    def signed_out(self):
        return page_lines(
            "<html><head><title>Hotmail - Sign In</title></head><body>",
            "<p>Your session has ended. Did you type in your username and password?</p>",
            '<p><a href="%s/">Sign in again</a></p></body></html>' % self.base)

    def invalid_login(self):
        return page_lines(
            "<html><head><title>Hotmail - Sign In</title></head><body>",
            "<p><b>Invalid Login</b>: the login name or the password is not correct.</p>",
            "</body></html>")

    def sorry(self):
        return page_lines(
            "<html><head><title>Hotmail</title></head><body>",
            "<font size=5>We're sorry</font>",
            "<p>Hotmail cannot process your request right now. Please try again.</p>",
            "</body></html>")

    def do_login(self, params):
        if self.apology > 0:
            self.apology -= 1
            return Page(self.sorry())
        session = self.login(params.get("login", ""), params.get("passwd", ""))
        if session is None:
            return Page(self.invalid_login())
        page = self.inbox(session)
        page.cookies.append(self.set_cookie(session))
        return page

    def inbox(self, session):
        user = session.user
        msgs = user.messages
        unread = sum(1 for m in msgs if not m.read)
        lines = [
            "<html><head><title>Hotmail - Inbox</title></head><body>",
            '<p><a href="/cgi-bin/compose?%s&curmbox=ACTIVE">Compose</a></p>'
            % self.common_query(user),
            '<form name="hotmail" method="get" action="%s/cgi-bin/HoTMaiL">' % self.base,
            '<input type="hidden" name="curmbox" value="ACTIVE">',
            "<p><b>%d messages, %d new</b></p>" % (len(msgs), unread),
            "<table>"]
        lines += [self.row(user, m) for m in msgs]
        lines += ["</table>", '<input type="submit" name="Delete" value="Delete">',
                  "</form></body></html>"]
        return Page(page_lines(*lines))

    def row(self, user, msg):
        return ('<tr bgcolor="#eeeecc"><td><input type="checkbox" name="%s" value="on"></td>'
                '<td><a href="%s">%s</a></td>'
                "<td>&nbsp;%s&nbsp;</td>"
                "<td>&nbsp;%s&nbsp;</td>"
                '<td align="right">&nbsp;%s&nbsp;</td></tr>') % (
            self.msg_id(msg), self.msg_path(user, msg), esc_cell(msg.sender),
            list_date(msg.date), esc_cell(msg.subject), size_cell(msg.size))

    def same_login(self, params, session):
        user = session.user
        return (params.get("disk") == self.disk(user) and params.get("login") == user.name
                and params.get("f") == self.f_value)

    def folder(self, params, session):
        if "Delete.x" in params:
            if not self.same_login(params, session):
                return Page(self.signed_out())
            user = session.user
            gone = {key for key in params if params.get(key) == "on"}
            user.messages = [m for m in user.messages if self.msg_id(m) not in gone]
        return self.inbox(session)

    def message(self, params, session):
        wanted = params.get("msg", "")
        msg = next((m for m in session.user.messages if self.msg_id(m) == wanted), None)
        if msg is None:
            return Page(page_lines("<html><body><p>This message no longer exists.</p>",
                                   "</body></html>"))
        msg.read = True
        text = page_lines(
            "<html><head><title>Hotmail - Message</title></head><body>",
            "<table>",
            "<tr><td>From: %s</td></tr>" % esc_text(msg.sender),
            "<tr><td>To: %s</td></tr>" % esc_text(msg.to),
            "<tr><td>Subject: %s</td></tr>" % esc_text(msg.subject),
            "<tr><td>Date: %s</td></tr>" % long_date(msg.date),
            "</table>",
            "<pre>%s</pre>" % esc_text(msg.body)
            + '<form name="msgform" method="get" action="%s/cgi-bin/HoTMaiL">' % self.base
            + '<input type="hidden" name="%s" value="on">' % self.msg_id(msg)
            + '<input type="submit" name="Delete.x" value="Delete"></form>',
            "</body></html>")
        return Page(text)

    def compose(self, params, session):
        user = session.user
        msghdrid = "%s_%d" % (secrets.token_hex(5), self.next_id)
        session.forms.add(msghdrid)
        hidden = '<input type="hidden" name="%s" value="%s">'
        text = page_lines(
            "<html><head><title>Hotmail - Compose</title></head><body>",
            '<form name="composeform" action="%s/cgi-bin/postmsg" method="post">' % self.base,
            hidden % ("disk", self.disk(user)), hidden % ("login", esc_cell(user.name)),
            hidden % ("f", self.f_value), hidden % ("msghdrid", msghdrid),
            hidden % ("msg", ""), hidden % ("sigflag", "y"), hidden % ("newmail", "new"),
            'To: <input type="text" name="to" size=40><br>',
            'Cc: <input type="text" name="cc" size=40><br>',
            'Bcc: <input type="text" name="bcc" size=40><br>',
            'Subject: <input type="text" name="subject" size=40><br>',
            '<textarea name="body" rows=12 cols=60></textarea><br>',
            '<input type="submit" name="Send" value="Send">',
            "</form></body></html>")
        return Page(text)

    def send(self, form, session):
        problem = None
        if not self.same_login(form, session) or form.get("msghdrid") not in session.forms:
            problem = "this message form has expired"
        elif not form.get("to", "").strip():
            problem = "no recipient was given"
        if problem:
            return Page(page_lines(
                "<html><head><title>Hotmail - Error</title></head><body>",
                "<p>Your message could not be sent: %s.</p></body></html>" % problem))
        self.record_sent(session, form, msghdrid=form.get("msghdrid"))
        return Page(page_lines(
            "<html><head><title>Hotmail - Sent</title></head><body>",
            "<p>Your message has been sent to %s.</p>" % esc_text(form.get("to", "")),
            '<p><a href="%s/cgi-bin/HoTMaiL?curmbox=ACTIVE">Back to Inbox</a></p>' % self.base,
            "</body></html>"))


# ---------------------------------------------------------------- HTTP side

class Params(dict):
    """A query or form: one value per name, plus every value on request."""

    def __init__(self, text):
        self.all = urllib.parse.parse_qs(text, keep_blank_values=True,
                                         encoding=PAGE_CODEC, errors="replace")
        super().__init__({k: v[-1] for k, v in self.all.items()})

    def getlist(self, name):
        return self.all.get(name, [])

    def as_json(self):
        return {k: (v[0] if len(v) == 1 else v) for k, v in self.all.items()}


def cookie_pairs(header):
    pairs = []
    for part in (header or "").split(";"):
        key, sep, value = part.strip().partition("=")
        if sep:
            pairs.append((key.strip(), value.strip()))
    return pairs


MISBEHAVIOURS = ("slow", "truncate", "cut", "nomarkers", "empty", "status", "oversize")


class Control:
    """The JSON API under /_sim/."""

    def __init__(self, sim, stop):
        self.sim = sim
        self.stop = stop

    def handle(self, method, path, params, body):
        sim = self.sim
        routes = {
            ("GET", "/_sim/info"): self.info,
            ("GET", "/_sim/mailbox"): self.mailbox,
            ("POST", "/_sim/messages"): self.add_message,
            ("POST", "/_sim/users"): self.add_user,
            ("POST", "/_sim/reset"): self.reset,
            ("GET", "/_sim/stats"): self.stats,
            ("POST", "/_sim/stats/clear"): lambda p, b: (sim.clear_stats(), {"ok": True})[1],
            ("POST", "/_sim/apology"): self.apology,
            ("POST", "/_sim/misbehave"): self.set_misbehave,
            ("POST", "/_sim/misbehave/clear"): self.clear_misbehave,
            ("POST", "/_sim/sessions/clear"): self.clear_sessions,
            ("POST", "/_sim/config"): self.config,
        }
        handler = routes.get((method, path))
        if handler is None:
            return 404, {"error": "no such control: %s %s" % (method, path)}
        try:
            with sim.lock:
                return 200, handler(params, body)
        except (LookupError, ValueError, TypeError, AttributeError) as error:
            return 400, {"error": str(error)}

    def user(self, name):
        sim = self.sim
        if not name:
            return next(iter(sim.users.values()))
        if name not in sim.users:
            raise ValueError("unknown user %r" % name)
        return sim.users[name]

    def info(self, params, body):
        return {"service": self.sim.name, "home": self.sim.base,
                "users": list(self.sim.users)}

    def mailbox(self, params, body):
        user = self.user(params.get("user"))
        return {"user": user.name, "count": len(user.messages),
                "messages": [self.sim.describe(m) for m in user.messages],
                "sent": user.sent}

    def add_message(self, params, body):
        user = self.user(body.get("user"))
        date = body.get("date")
        date = (datetime.datetime.fromisoformat(date) if date
                else datetime.datetime.now().replace(second=0, microsecond=0))
        text = body.get("body", "Hello,\r\n\r\nthis is a new message.")
        size = body.get("size", len(text.encode(PAGE_CODEC, "replace")) + 600)
        msg = self.sim.new_message(user, body.get("from", "New Sender <new@example.com>"),
                                   body.get("subject", "New message"), text, size, date)
        user.messages.insert(0, msg)
        return self.sim.describe(msg)

    def add_user(self, params, body):
        name, password = body["user"], body["password"]
        if name in self.sim.users:
            raise ValueError("user %r exists" % name)
        self.sim.add_user(name, password, int(body.get("messages", 0)))
        return {"users": list(self.sim.users)}

    def reset(self, params, body):
        count = int(body.get("messages", self.sim.seed_count))
        for user in self.sim.users.values():
            self.sim.seed(user, count)
        self.sim.clear_runtime()
        return {"ok": True}

    def stats(self, params, body):
        sim = self.sim
        return {"total": sim.total, "paths": dict(sim.per_path),
                "last": sim.log[-1] if sim.log else None, "log": list(sim.log)}

    def apology(self, params, body):
        if not isinstance(self.sim, HotMail):
            raise ValueError("only the HotMail simulator has an apology page")
        self.sim.apology = int(body.get("count", 1))
        return {"apology": self.sim.apology}

    def set_misbehave(self, params, body):
        mode = body["mode"]
        if mode not in MISBEHAVIOURS:
            raise ValueError("mode must be one of %s" % ", ".join(MISBEHAVIOURS))
        rule = {"mode": mode, "count": int(body.get("count", 1)),
                "match": body.get("match", ""), "delay": float(body.get("delay", 2.0)),
                "at": body.get("at", 0.5), "after": body.get("after"),
                "status": int(body.get("status", 500)),
                "bytes": int(body.get("bytes", 9 * 1000 * 1000))}
        self.sim.misbehave = rule
        return rule

    def clear_misbehave(self, params, body):
        self.sim.misbehave = None
        return {"ok": True}

    def clear_sessions(self, params, body):
        self.sim.sessions.clear()
        return {"ok": True}

    def config(self, params, body):
        if "charset" in body:
            charset = body["charset"] or None
            if charset:
                "".encode(charset)  # LookupError for an unknown name
            self.sim.charset = charset
        return {"charset": self.sim.charset}


def take_misbehaviour(sim, target):
    """The rule that applies to this request, used up by it."""
    rule = sim.misbehave
    if rule is None or rule["match"] not in target:
        return None
    if rule["count"] > 0:
        rule["count"] -= 1
        if rule["count"] == 0:
            sim.misbehave = None
    return dict(rule)


def cut_point(rule, data):
    if rule.get("after"):
        found = data.find(rule["after"].encode(PAGE_CODEC, "replace"))
        if found >= 0:
            return found + len(rule["after"])
    at = rule.get("at", 0.5)
    if isinstance(at, float) and 0 <= at <= 1:
        return int(len(data) * at)
    return max(0, min(len(data), int(at)))


def pad_page(data, size):
    """The same page grown to at least size bytes by a comment before its end."""
    end = data.rfind(b"</body>")
    end = len(data) if end < 0 else end
    filler = max(0, size - len(data) - 9)
    return data[:end] + b"<!--" + b"x" * filler + b"-->\r\n" + data[end:]


def make_handler(sim, control, stop):
    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"
        server_version = "WebMailSim/1.0"
        timeout = 60

        def log_message(self, fmt, *args):
            pass

        def do_GET(self):
            self.dispatch("GET")

        def do_POST(self):
            self.dispatch("POST")

        def read_body(self):
            length = int(self.headers.get("Content-Length") or 0)
            if length < 0 or length > MAX_POST:
                raise ValueError("request body too large")
            return self.rfile.read(length) if length else b""

        def dispatch(self, method):
            split = urllib.parse.urlsplit(self.path)
            path, query = split.path, split.query
            try:
                body = self.read_body()
            except ValueError:
                self.send(413, b"too large", "text/plain", [])
                return
            if path.startswith("/_sim/"):
                self.control(method, path, query, body)
            else:
                self.serve(method, path, query, body)

        def control(self, method, path, query, body):
            try:
                data = json.loads(body.decode("utf-8")) if body.strip() else {}
                if not isinstance(data, dict):
                    raise ValueError("a JSON object is expected")
            except ValueError as error:
                status, answer = 400, {"error": "bad JSON: %s" % error}
            else:
                status, answer = control.handle(method, path, Params(query), data)
            self.send(status, json.dumps(answer).encode("utf-8"), "application/json", [])

        def serve(self, method, path, query, body):
            params = Params(query)
            form = Params(body.decode("latin-1")) if method == "POST" else Params("")
            with sim.lock:
                session = sim.session_of(cookie_pairs(self.headers.get("Cookie")))
                sim.total += 1
                sim.per_path[path] = sim.per_path.get(path, 0) + 1
                sim.log.append({
                    "seq": sim.total, "method": method, "path": path, "query": query,
                    "params": params.as_json(), "form": form.as_json(),
                    "content_type": self.headers.get("Content-Type"),
                    "user": session.user.name if session else None})
                del sim.log[:-LOG_KEEP]
                rule = take_misbehaviour(sim, path + ("?" + query if query else ""))
            if rule and rule["mode"] == "slow":
                stop.wait(rule["delay"])
            if rule and rule["mode"] in ("nomarkers", "empty", "status"):
                page = Page("" if rule["mode"] == "empty" else Service.unavailable(),
                            status=rule["status"] if rule["mode"] == "status" else 200)
            else:
                with sim.lock:
                    page = sim.route(method, path, params, form, session)
                if page is None:
                    page = Page(page_lines("<html><body><p>Not Found</p></body></html>"),
                                status=404, marked=False)
            data, ctype = page.text, page.ctype
            if isinstance(data, str):
                data = data.encode(sim.charset or PAGE_CODEC, "replace")
                if sim.charset:
                    ctype += "; charset=" + sim.charset
            cut = None
            if rule and rule["mode"] == "oversize" and page.marked:
                data = pad_page(data, rule["bytes"])
            if rule and rule["mode"] in ("truncate", "cut") and page.marked:
                cut = cut_point(rule, data)
                if rule["mode"] == "truncate":
                    data, cut = data[:cut], None
            self.send(page.status, data, ctype, page.cookies, cut)

        def send(self, status, data, ctype, cookies, cut=None):
            self.send_response(status)
            self.send_header("Content-Type", ctype)
            self.send_header("Content-Length", str(len(data)))
            self.send_header("Cache-Control", "no-store")
            for cookie in cookies:
                self.send_header("Set-Cookie", cookie)
            if cut is not None:
                self.send_header("Connection", "close")
                self.close_connection = True
            self.end_headers()
            self.wfile.write(data if cut is None else data[:cut])
            self.wfile.flush()

    return Handler


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def handle_error(self, request, client_address):
        # A client that hangs up early (time-outs, cut pages) is routine here.
        error = sys.exc_info()[1]
        if isinstance(error, (ConnectionError, TimeoutError)):
            return
        print("webmail_sim: %s: %s" % (type(error).__name__, error), file=sys.stderr)


def parse_args(argv):
    parser = argparse.ArgumentParser(description="Local MailCity / HotMail simulator")
    parser.add_argument("--service", required=True, choices=("mailcity", "hotmail"))
    parser.add_argument("--user", action="append", help="login name (repeatable)")
    parser.add_argument("--password", action="append", help="password of each --user")
    parser.add_argument("--messages", type=int, default=0, help="messages to seed per user")
    parser.add_argument("--tls", action="store_true")
    parser.add_argument("--cert")
    parser.add_argument("--key")
    args = parser.parse_args(argv)
    users = args.user or ["user"]
    passwords = args.password or ["secret"]
    if len(users) != len(passwords):
        parser.error("give one --password for each --user")
    if args.tls and not args.cert:
        parser.error("--tls needs --cert (and --key unless the PEM holds it)")
    if args.messages < 0:
        parser.error("--messages must be 0 or more")
    args.accounts = list(zip(users, passwords))
    return args


def start_server(args, stop):
    scheme = "https" if args.tls else "http"
    context = None
    if args.tls:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.cert, args.key)
    for _ in range(20):
        port = testports.claim_port()
        base = "%s://127.0.0.1:%d" % (scheme, port)
        sim = (MailCity if args.service == "mailcity" else HotMail)(
            base, args.accounts, args.messages)
        try:
            server = Server(("127.0.0.1", port), make_handler(sim, Control(sim, stop), stop))
        except OSError:
            continue  # taken between the check and our bind
        if context is not None:
            # The handshake runs in the request thread, so a stalled client
            # cannot hold up the accept loop.
            server.socket = context.wrap_socket(server.socket, server_side=True,
                                                do_handshake_on_connect=False)
        return server, port, base
    raise RuntimeError("could not bind a test port")


def watch_stdin(stop):
    try:
        while os.read(sys.stdin.fileno(), 4096):
            pass
    except (OSError, ValueError):
        pass
    stop.set()


def main(argv=None):
    args = parse_args(argv if argv is not None else sys.argv[1:])
    stop = threading.Event()
    server, port, base = start_server(args, stop)
    for signum in (signal.SIGTERM, signal.SIGINT):
        signal.signal(signum, lambda *_: stop.set())
    threading.Thread(target=server.serve_forever, daemon=True).start()
    threading.Thread(target=watch_stdin, args=(stop,), daemon=True).start()
    print(json.dumps({"port": port, "home": base}), flush=True)
    while not stop.wait(3600):
        pass
    server.shutdown()
    server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
