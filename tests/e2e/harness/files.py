"""Settings files as the program reads them: byte text in code page 932 with CR LF line ends."""

import os


def to_cp932(content):
    """Bytes for a settings file. Text is encoded as CP932 and bare LF become CR LF; bytes pass as they are."""
    if isinstance(content, bytes):
        return content
    text = content.replace("\r\n", "\n").replace("\n", "\r\n")
    return text.encode("cp932")


def write_cp932(path, content):
    """Writes a settings file (see to_cp932), creating its folder when needed."""
    os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
    with open(path, "wb") as f:
        f.write(to_cp932(content))


def read_cp932(path):
    """The text of a settings file, decoded from CP932 with its CR LF kept, or None when it is missing."""
    data = read_bytes(path)
    return None if data is None else data.decode("cp932")


def read_bytes(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return None


def encodings_holding(data, text):
    """The encodings among CP932, UTF-8 and UTF-16 (either byte order) in which text occurs in the bytes."""
    found = []
    for encoding in ("cp932", "utf-8", "utf-16-le", "utf-16-be"):
        try:
            if text.encode(encoding) in data:
                found.append(encoding)
        except UnicodeEncodeError:
            pass
    return found


def profile(section, **keys):
    """A private-profile file: profile("EXEINI", NUMBER=1) -> "[EXEINI]\\r\\nNUMBER=1\\r\\n"."""
    lines = [f"[{section}]"] + [f"{key}={value}" for key, value in keys.items()]
    return "".join(line + "\r\n" for line in lines)


def quillo(smtp="", pop3="", mail="", apop=0):
    """The server settings file with its four lines in the order the program writes them."""
    return f"SMTP={smtp}\r\nPOP3={pop3}\r\nMAIL={mail}\r\nAPOP={apop}\r\n"
