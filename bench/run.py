#!/usr/bin/env python3
"""Runs every benchmark of build/bench and prints, for each comparison, the
anchor's CPU time divided by ours (above 1: we are faster).

usage: bench/run.py [--repetitions N] [--filter SUBSTRING]
       bench/run.py --scaling [--svg docs/scaling.svg] [--filter SUBSTRING]
Build first: cmake --preset bench && cmake --build --preset bench

--scaling runs scaling_bench instead: the cost per item of every
outside-input path at n, 4n, 16n and 64n, its growth class (flagged when
worse than n log n), and an SVG plot of cost per item against n.
"""
import argparse, json, math, os, subprocess, sys

HERE = os.path.dirname(os.path.abspath(__file__))
BIN = os.path.join(HERE, '..', 'build', 'bench', 'bench')

# (executable, ours, anchor, label[, extra environment])
# OpenSSL's portable code: no AES-NI, SSSE3 (vector AES and SHA-1), AVX, AVX2
# or SHA extensions; NO_SHANI masks only the SHA extensions, leaving its
# vector SHA-1 on. crypto_bench checks that the mask took effect.
PORTABLE = {'OPENSSL_ia32cap': '~0x1200020000000000:~0x20000020'}
NO_SHANI = {'OPENSSL_ia32cap': '~0x200000000000000:~0x20000000'}
UNICODE_KINDS = ['ascii', 'latin1', 'mixed', 'cjk', 'emoji', 'invalid1pct']
PAIRS = [
    ('unicode_bench', 'Ku%s/%s' % (d, k), '%s%s/%s' % (a, d, k),
     '%s %s vs %s' % ('UTF-8 to wide' if d == 'UTF8ToWide' else 'wide to UTF-8', k,
                      'mbstowcs' if (a, d) == ('Libc', 'UTF8ToWide') else
                      'wcstombs' if a == 'Libc' else 'iconv'))
    for k in UNICODE_KINDS for d in ('UTF8ToWide', 'WideToUTF8') for a in ('Libc', 'Iconv')
    if not (k == 'invalid1pct' and d == 'WideToUTF8')
] + [
    ('printf_bench', 'BM_IntStr_ku', 'BM_IntStr_libc', 'ku_snprintf ints/strings vs snprintf'),
    ('printf_bench', 'BM_IntStr_ku', 'BM_IntStr_fmt', 'ku_snprintf ints/strings vs {fmt}'),
    ('printf_bench', 'BM_Mixed_ku', 'BM_Mixed_libc', 'ku_snprintf with %.3f vs snprintf'),
    ('printf_bench', 'BM_Mixed_ku', 'BM_Mixed_fmt', 'ku_snprintf with %.3f vs {fmt}'),
    ('numbers_bench', 'Base64Encode_ku', 'Base64Encode_OpenSSL', 'Base64 encode vs OpenSSL'),
    ('numbers_bench', 'Base64Decode_ku', 'Base64Decode_OpenSSL', 'Base64 decode vs OpenSSL'),
    ('numbers_bench', 'StrToUInt32_ku', 'StrToUInt32_strtoul', 'strtouint32 vs strtoul'),
    ('numbers_bench', 'StrToInt32_ku', 'StrToInt32_strtol', 'strtoint32 vs strtol'),
    ('dictionary_bench', 'Dictionary', 'GLibKeyFile', 'dictionary 2,000 keys vs GKeyFile'),
] + [
    ('ini_bench', 'INIFileLoadAndRead/%d' % n, '%sLoadAndRead/%d' % (a, n),
     'INI %d sections load + read vs %s' % (n, label))
    for n in (10, 100, 200, 1000) for a, label in (('GKeyFile', 'GKeyFile'), ('InihMap', 'inih + hash map'))
] + [
    ('uri_bench', 'KuURI', 'UriParser', 'URI parse + compose vs uriparser'),
    ('dlna_bench', 'ParseCompose_ku', 'ParseCompose_gupnp', 'protocolInfo parse + compose vs gupnp-av'),
    ('dlna_bench', 'Match_ku', 'Match_gupnp', 'protocolInfo match vs gupnp-av'),
    ('uuid_bench', 'KuUUIDGenerate/real_time', 'LibuuidGenerateTime/real_time', 'UUIDs vs libuuid'),
    ('crypto_bench', 'BM_MD5_ku', 'BM_MD5_openssl', 'MD5 vs OpenSSL (portable)', PORTABLE),
    ('crypto_bench', 'BM_SHA1_ku', 'BM_SHA1_openssl', 'SHA-1 vs OpenSSL (portable)', PORTABLE),
    ('crypto_bench', 'BM_SHA1_ku', 'BM_SHA1_openssl', 'SHA-1 vs OpenSSL (vector code, no SHA-NI)',
     NO_SHANI),
    ('crypto_bench', 'BM_AES128CBCEncrypt_ku', 'BM_AES128CBCEncrypt_openssl',
     'AES-128-CBC 64 MiB vs OpenSSL (portable)', PORTABLE),
    ('crypto_bench', 'BM_AES128CBCEncrypt1MiB_ku', 'BM_AES128CBCEncrypt1MiB_openssl',
     'AES-128-CBC 1 MiB vs OpenSSL (portable)', PORTABLE),
    ('crypto_bench', 'BM_RC4_ku', 'BM_RC4_openssl', 'RC4 vs OpenSSL legacy', PORTABLE),
    ('crypto_bench', 'BM_BlowfishECB_ku', 'BM_BlowfishECB_openssl', 'Blowfish ECB vs OpenSSL legacy',
     PORTABLE),
    ('crypto_bench', 'BM_AES128CBCEncrypt_ku', 'BM_AES128CBCEncrypt_openssl',
     'AES-128-CBC vs OpenSSL (AES-NI)'),
]


def run(executable, env_extra, repetitions):
    env = dict(os.environ, **(env_extra or {}))
    out = subprocess.run([os.path.join(BIN, executable), '--benchmark_format=json',
                          '--benchmark_repetitions=%d' % repetitions,
                          # repetitions of both sides take turns, so that a
                          # busy spell of the machine falls on both
                          '--benchmark_enable_random_interleaving=true',
                          '--benchmark_report_aggregates_only=true'],
                         env=env, capture_output=True, text=True, check=True).stdout
    times = {}
    for b in json.loads(out)['benchmarks']:
        if b.get('aggregate_name', 'median') == 'median':
            name = b['run_name'].split('/min_time')[0]
            times[name] = b['cpu_time'] * {'ns': 1, 'us': 1e3, 'ms': 1e6, 's': 1e9}[b['time_unit']]
    return times


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--repetitions', type=int, default=3)
    parser.add_argument('--filter', default='')
    parser.add_argument('--scaling', action='store_true')
    parser.add_argument('--svg', default=os.path.join(HERE, '..', 'docs', 'scaling.svg'))
    args = parser.parse_args()
    if args.scaling:
        import scaling
        sys.exit(scaling.main(os.path.join(BIN, 'scaling_bench'), args.filter, args.svg))
    cache = {}
    print('| comparison | ratio (anchor time / ours) |')
    print('|---|---|')
    for pair in PAIRS:
        executable, ours, anchor, label = pair[:4]
        env = pair[4] if len(pair) > 4 else None
        if args.filter not in label and args.filter not in executable:
            continue
        key = (executable, tuple(sorted((env or {}).items())))
        if key not in cache:
            cache[key] = run(executable, env, args.repetitions)
        t = cache[key]
        if ours in t and anchor in t:
            print('| %s | %.2fx |' % (label, t[anchor] / t[ours]))
        else:
            print('| %s | (missing) |' % label)
        sys.stdout.flush()


if __name__ == '__main__':
    main()
