#!/usr/bin/env python3
"""Writes COUNT Japanese test messages into a Maildir folder.

    make_messages.py MAILDIR_CUR COUNT [SIZE]

Message n has the subject "テストメール n 通目" (ISO-2022-JP encoded word), an ISO-2022-JP body that
holds a line beginning with a dot and a line of two dots, and, when SIZE is given, filler lines up to
about SIZE octets as the POP3 server counts them (CRLF line ends).
"""
import base64
import os
import sys


def encoded_word(text):
    raw = text.encode("iso2022_jp")
    return "=?ISO-2022-JP?B?" + base64.b64encode(raw).decode("ascii") + "?="


def message(n, size):
    header = [
        "Return-Path: <sender@example.jp>",
        f"Message-ID: <test{n}@sorabune.test>",
        "Date: Mon, 1 Jan 2024 09:00:00 +0900",
        f"From: {encoded_word('送信者')} <sender@example.jp>",
        "To: user@example.jp",
        f"Subject: {encoded_word(f'テストメール {n} 通目')}",
        "MIME-Version: 1.0",
        "Content-Type: text/plain; charset=ISO-2022-JP",
        "Content-Transfer-Encoding: 7bit",
    ]
    body = [
        f"これは {n} 通目のテストメールです。",
        ".この行は点で始まります。",
        "..",
        "以上です。",
    ]
    lines = header + [""] + [line.encode("iso2022_jp").decode("ascii") for line in body]
    total = sum(len(line) + 2 for line in lines)
    filler = ("あいうえおかきくけこさしすせそたちつてとなにぬねの" * 2).encode("iso2022_jp").decode("ascii")
    while total + len(filler) + 2 <= size:
        lines.append(filler)
        total += len(filler) + 2
    if total + 2 < size:
        lines.append("x" * (size - total - 2))
    return ("\n".join(lines) + "\n").encode("ascii")


def main():
    folder, count = sys.argv[1], int(sys.argv[2])
    size = int(sys.argv[3]) if len(sys.argv) > 3 else 0
    for n in range(1, count + 1):
        # Dovecot keeps the order of the names; the seconds part keeps message n in place n.
        name = f"{1700000000 + n}.M{n}P1.sorabune:2,S"
        with open(os.path.join(folder, name), "wb") as f:
            f.write(message(n, size))


if __name__ == "__main__":
    main()
