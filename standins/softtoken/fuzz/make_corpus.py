#!/usr/bin/env python3
"""Writes the seed corpus of template_fuzzer (see the input layout in template_fuzzer.cpp)."""
import pathlib
import struct

HERE = pathlib.Path(__file__).resolve().parent
CERT = (HERE / "../../../testdata/certs/gost2012_256.der").read_bytes()

# Indexes into kTypes, kNumbers and the DER dictionary of template_fuzzer.cpp.
CLASS, TOKEN, PRIVATE, LABEL, VALUE, ID, KEY_TYPE, PARAMS, LOCAL, MODIFIABLE = (
    0, 1, 2, 3, 5, 14, 12, 32, 24, 28)
DATA, CERTIFICATE, PUBLIC_KEY, PRIVATE_KEY = 0, 1, 2, 3
GOST256, GOST512 = 5, 6
PARAMS_256, PARAMS_512 = 0, 18

CREATE, FIND, RW, LOGIN, NULL_TEMPLATE = 1, 2, 4, 8, 16


def number(t, index):
    return bytes([t, 2, index])


def boolean(t, value):
    return bytes([t, 3, value])


def short(t, value):
    return bytes([t, 0, len(value)]) + value


def long(t, value):
    return bytes([t, 7]) + struct.pack("<H", len(value)) + value


def der(t, index):
    return bytes([t, 4, index])


def null(t, length):
    return bytes([t, 5]) + struct.pack("<Q", length)


def raw_type(attribute_type, value):
    return bytes([0xFF]) + struct.pack("<Q", attribute_type) + bytes([0, len(value)]) + value


SEEDS = {
    "data_object": bytes([CREATE | FIND | RW, 2]) + number(CLASS, DATA) + short(LABEL, b"test"),
    "private_data_logged_out": bytes([CREATE | RW, 1]) + number(CLASS, DATA)
    + boolean(PRIVATE, 1),
    "token_certificate": bytes([CREATE | FIND | RW | LOGIN, 4]) + number(CLASS, CERTIFICATE)
    + boolean(TOKEN, 1) + long(VALUE, CERT) + short(ID, b"\x01\x02"),
    "public_key_256": bytes([CREATE | RW, 1]) + number(CLASS, PUBLIC_KEY)
    + number(KEY_TYPE, GOST256) + der(PARAMS, PARAMS_256) + short(VALUE, bytes(range(64))),
    "public_key_512": bytes([CREATE | RW, 1]) + number(CLASS, PUBLIC_KEY)
    + number(KEY_TYPE, GOST512) + der(PARAMS, PARAMS_512) + long(VALUE, bytes(range(128))),
    "private_key_refused": bytes([CREATE | RW | LOGIN, 1]) + number(CLASS, PRIVATE_KEY)
    + number(KEY_TYPE, GOST256),
    "token_only_attribute": bytes([CREATE | RW, 1]) + number(CLASS, DATA) + boolean(LOCAL, 1),
    "find_all": bytes([FIND, 3]),
    "find_zero_batch": bytes([FIND | LOGIN, 0]) + number(CLASS, CERTIFICATE),
    "find_null_template": bytes([FIND | NULL_TEMPLATE, 1]) + number(CLASS, DATA),
    "absurd_length": bytes([CREATE | FIND | RW, 1]) + number(CLASS, DATA)
    + null(LABEL, 0xFFFFFFFFFFFFFFFF),
    "read_only_token_object": bytes([CREATE, 1]) + number(CLASS, DATA) + boolean(TOKEN, 1),
    "vendor_type": bytes([CREATE | FIND | RW, 1]) + number(CLASS, DATA)
    + raw_type(0x80000001, b"x"),
    "wrong_bool_size": bytes([CREATE | FIND | RW, 1]) + number(CLASS, DATA)
    + short(MODIFIABLE, b"\x01\x00"),
}

for name, data in SEEDS.items():
    (HERE / "corpus" / name).write_bytes(data)
