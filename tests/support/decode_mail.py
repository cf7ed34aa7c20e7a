"""Prints a stored message as the tests read it: each header decoded by Python's
email package (RFC 2047 words resolved), then the body decoded from ISO-2022-JP."""
import email
import email.policy
import sys

data = open(sys.argv[1], "rb").read()
msg = email.message_from_bytes(data, policy=email.policy.default)
out = []
for name, value in msg.items():
    out.append("%s: %s" % (name, str(value)))
out.append("")
out.append(msg.get_payload(decode=True).decode("iso-2022-jp"))
sys.stdout.buffer.write("\n".join(out).encode("utf-8"))
