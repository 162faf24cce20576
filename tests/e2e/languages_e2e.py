"""tarnlet.exe on Windows of other display languages: Wine takes the OEM
code page from LC_ALL, and the stand-in ping.exe writes that language's
lines as raw bytes in it. Each language runs side by side with the others, in
a copy of the test prefix, across a minute boundary; the minute's row must
hold exactly the replies, drops and disconnects of the lines played, and the
log must show every line as UTF-8."""

import multiprocessing
import os
import re
import time

from harness import REPO, Profile, check, copy_of_the_test_prefix, next_minute, running, sleep_until, wait_until

TRANSCRIPTS = os.path.join(REPO, "tests", "app", "ping_transcripts")
ROW = re.compile(r"^(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})((?:\t-?\d+){6})$")
# The attempts played in one burst, by transcript tag: a loss after a reply
# is a drop, the next in a row disconnects, later ones are neither. So three
# drops (timed out, net unreachable, TTL expired) and two disconnects (host
# unreachable, the first general failure) among five replies.
ATTEMPTS = ["REPLY", "REPLY_LT1", "TIMEOUT", "UNREACHABLE", "REPLY_V6", "NET_UNREACHABLE", "REPLY", "TTL_EXPIRED",
            "GENERAL", "GENERAL", "REPLY_LT1"]

# Two languages that are not in the transcripts, rebuilt from the pattern of
# their neighbours.
POLISH = {
    "BANNER": ["Badanie 10.0.0.1 z 32 bajtami danych:"],
    "REPLY": ["Odpowiedź z 10.0.0.1: bajtów=32 czas=14ms TTL=117"],
    "REPLY_LT1": ["Odpowiedź z 10.0.0.1: bajtów=32 czas<1ms TTL=128"],
    "REPLY_V6": ["Odpowiedź z ::1: czas=3ms"],
    "TIMEOUT": ["Upłynął limit czasu żądania."],
    "UNREACHABLE": ["Odpowiedź z 10.0.0.1: Host docelowy jest nieosiągalny."],
    "NET_UNREACHABLE": ["Odpowiedź z 10.0.0.1: Sieć docelowa jest nieosiągalna."],
    "TTL_EXPIRED": ["Odpowiedź z 10.0.0.1: Czas wygaśnięcia TTL podczas przesyłania."],
    "GENERAL": ["Błąd ogólny.", "PING: transmisja nie powiodła się. Błąd ogólny."],
    "STATS": ["Statystyka badania ping dla 10.0.0.1:", "    Pakiety: Wysłane = 4, Odebrane = 4, Utracone = 0",
              "    (0% straty),", "Szacunkowy czas błądzenia pakietów w millisekundach:",
              "    Minimum = 14 ms, Maksimum = 14 ms, Czas średni = 14 ms"],
}
KOREAN = {
    "BANNER": ["Ping 10.0.0.1 32바이트 데이터 사용:"],
    "REPLY": ["10.0.0.1의 응답: 바이트=32 시간=14ms TTL=117"],
    "REPLY_LT1": ["10.0.0.1의 응답: 바이트=32 시간<1ms TTL=128"],
    "REPLY_V6": ["::1의 응답: 시간=3ms"],
    "TIMEOUT": ["요청 시간이 만료되었습니다."],
    "UNREACHABLE": ["10.0.0.1의 응답: 대상 호스트에 연결할 수 없습니다."],
    "NET_UNREACHABLE": ["10.0.0.1의 응답: 대상 네트워크에 연결할 수 없습니다."],
    "TTL_EXPIRED": ["10.0.0.1의 응답: 전송하는 동안 TTL이 만료되었습니다."],
    "GENERAL": ["일반 오류입니다.", "PING: 전송하지 못했습니다. 일반 오류입니다."],
    "STATS": ["10.0.0.1에 대한 Ping 통계:", "    패킷: 보냄 = 4, 받음 = 4, 손실 = 0 (0% 손실),", "왕복 시간(밀리초):",
              "    최소 = 14ms, 최대 = 14ms, 평균 = 14ms"],
}


def transcript(language):
    """The lines of a transcript by tag, in the order they stand."""
    lines = {}
    with open(os.path.join(TRANSCRIPTS, language + ".txt"), encoding="utf-8") as file:
        for line in file.read().splitlines():
            if not line.startswith("#") and "\t" in line:
                tag, text = line.split("\t", 1)
                lines.setdefault(tag, []).append(text)
    return lines


class Language:
    """One display language: LC_ALL, the code page Wine then makes the OEM
    one, the lines and the minute row they must give (count, average,
    minimum, maximum, drops, disconnects; the average truncated at each
    reply, as the store keeps it)."""

    def __init__(self, name, locale, code_page, host, lines, row):
        self.name, self.locale, self.code_page, self.host = name, locale, code_page, host
        self.lines, self.row = lines, row

    def played(self):
        """The burst: the banner, the attempts, a blank line, the statistics."""
        used = {}
        attempts = []
        for tag in ATTEMPTS:
            # The second GENERAL is the transmit-failed form.
            attempts.append(self.lines[tag][used.get(tag, 0) % len(self.lines[tag])])
            used[tag] = used.get(tag, 0) + 1
        return [self.lines["BANNER"][0]] + attempts + [""] + self.lines["STATS"]

    def script(self, follow_up_delay):
        def entry(delay, text):
            raw = text.encode("cp%d" % self.code_page)
            return "bytes %d %s\n" % (delay, "".join(chr(b) if 32 <= b < 127 and b != 92 else "\\x%02x" % b
                                                      for b in raw))
        return ("".join(entry(0, line) for line in self.played()) + entry(follow_up_delay, self.lines["REPLY"][0]) +
                "hang\n")


LANGUAGES = [
    Language("English", "en_US.UTF-8", 437, "127.0.0.80", transcript("en"), [5, 22, 1, 52, 3, 2]),
    Language("Russian", "ru_RU.UTF-8", 866, "127.0.0.81", transcript("ru"), [5, 27, 1, 69, 3, 2]),
    Language("German", "de_DE.UTF-8", 850, "127.0.0.82", transcript("de"), [5, 5, 1, 11, 3, 2]),
    Language("Japanese", "ja_JP.UTF-8", 932, "127.0.0.83", transcript("ja"), [5, 1, 1, 4, 3, 2]),
    Language("Polish", "pl_PL.UTF-8", 852, "127.0.0.84", POLISH, [5, 5, 1, 14, 3, 2]),
    Language("Korean", "ko_KR.UTF-8", 949, "127.0.0.85", KOREAN, [5, 5, 1, 14, 3, 2]),
]


def rows(profile, host):
    return [ROW.match(line) for line in (profile.file(host + ".txt") or "").splitlines() if ROW.match(line)]


def live(language, started, boundary):
    """One language in a prefix of its own; returns its report line."""
    with copy_of_the_test_prefix(language.name):
        os.environ["LC_ALL"] = language.locale
        # The follow-up reply, a few seconds into the next minute, writes the
        # burst's row.
        follow_up = int((boundary + 5 - started) * 1000)
        profile = Profile({language.host: language.script(follow_up)},
                          config="hosts\t%s;\nactive\t%s;\n" % (language.host, language.host))
        with running(profile, ["--log"]) as program:
            minute = time.strftime("%Y-%m-%d %H:%M:%S", time.localtime(boundary - 60))
            written = lambda: any(row.group(1) == minute for row in rows(profile, language.host))
            check(wait_until(written, boundary + 45 - time.time()), "no row for the minute %s: %r" % (
                minute, profile.file(language.host + ".txt")))
            program.close()
        found = [row for row in rows(profile, language.host) if row.group(1) == minute]
        fields = [int(field) for field in found[0].group(2).split("\t")[1:]]
        check(fields == language.row, "the minute's row is %r, not %r" % (fields, language.row))
        log = profile.file("tarnlet.log") or ""
        with open(os.path.join(profile.data, "tarnlet.log"), "rb") as file:
            file.read().decode("utf-8")  # strictly UTF-8, or this raises
        missing = [line for line in language.played() if line and line not in log]
        check(not missing, "lines not in the log as UTF-8: %r" % missing[:3])
        return "code page %d: row %s" % (language.code_page, "\t".join(str(f) for f in fields))


def report(arguments):
    language = arguments[0]
    try:
        return language.name, live(*arguments), None
    except Exception as error:  # reported to the parent, which fails the check
        return language.name, None, "%s: %s" % (type(error).__name__, error)


def test_each_display_language_gives_the_rows_english_gives(display):
    # The burst must land well inside one minute however long Wine takes to
    # start them all at once.
    if time.time() % 60 > 20:
        sleep_until(next_minute(time.time()) + 1)
    started = time.time()
    boundary = next_minute(started)
    with multiprocessing.get_context("fork").Pool(len(LANGUAGES)) as pool:
        results = pool.map(report, [(language, started, boundary) for language in LANGUAGES])
    for name, outcome, failure in results:
        print("e2e:   %s: %s" % (name, outcome or "FAILED " + failure), flush=True)
    failures = [name for name, _, failure in results if failure]
    check(not failures, "failed: %s" % ", ".join(failures))
