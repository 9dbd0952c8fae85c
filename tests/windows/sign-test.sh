#!/usr/bin/env bash
# scripts/sign with a throwaway CA of its own: a code-signing certificate
# and a timestamp server (tsa.py, `openssl ts -reply`) on the loopback
# address.
#   sign-test.sh configuration
#     what scripts/sign --check (the release's first step) accepts and refuses
#   sign-test.sh pkcs12 OUT SCR ICON VERSION UPGRADE_CODE
#     signs a copy of SCR with a PKCS#12 that has a password, makes the
#     installer from the signed copy as the build does (packaging/make-msi),
#     and signs that: OUT/velora.scr and OUT/velora-skyshow-VERSION-x64.msi,
#     which the tests of the signed files use. Both verify against the CA with their
#     timestamps, a changed byte fails, a dead first timestamp server is
#     passed over, and dead ones alone fail, leaving the file as it was.
#   sign-test.sh pkcs11 OUT SCR
#     signs a copy of SCR with the key on a SoftHSM token, given its PIN; a
#     chain without its root does not verify and leaves the file as it was.
set -u
here=$(cd "$(dirname "$0")" && pwd)
sign=$here/../../scripts/sign
make_msi=$here/../../packaging/make-msi
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
die() {
  echo "FAIL: $*"
  exit 1
}
work=$(mktemp -d)
tsa=""
cleanup() {
  [ -z "$tsa" ] || kill "$tsa"
  rm -rf "$work"
}
trap cleanup EXIT
# A configuration of the person running the tests has no say here.
unset VELORA_SIGN_PKCS12 VELORA_SIGN_PASSWORD_FILE VELORA_SIGN_PKCS11_MODULE VELORA_SIGN_PKCS11_KEY VELORA_SIGN_CERT \
  VELORA_TIMESTAMP_URL

# scripts/sign --check with the variables given: its exit code, what it
# printed, and that an error names the variable at fault.
expect_check() {  # EXIT OUTPUT_OR_VARIABLE [NAME=VALUE...]
  local code=$1 wanted=$2 printed status
  shift 2
  printed=$(env "$@" "$sign" --check 2>&1)
  status=$?
  if [ "$status" -ne "$code" ] || [[ "$printed" != *"$wanted"* ]]; then
    fail "'$*': scripts/sign --check exits $status, printing '$printed' (expected $code, '$wanted')"
  fi
}

if [ "${1:-}" = configuration ]; then
  touch "$work/signer.p12" "$work/module.so" "$work/chain.pem"
  p12=VELORA_SIGN_PKCS12=$work/signer.p12
  url=VELORA_TIMESTAMP_URL=http://127.0.0.1:9/
  expect_check 0 none
  expect_check 0 pkcs12 "$p12" "$url"
  expect_check 0 pkcs11 VELORA_SIGN_PKCS11_MODULE="$work/module.so" VELORA_SIGN_PKCS11_KEY="pkcs11:object=signer" \
    VELORA_SIGN_CERT="$work/chain.pem" "$url"
  expect_check 1 "needs VELORA_SIGN_PKCS11_KEY" VELORA_SIGN_PKCS11_MODULE="$work/module.so" VELORA_SIGN_CERT="$work/chain.pem" \
    "$url"
  expect_check 1 VELORA_SIGN_PKCS11_KEY VELORA_SIGN_PKCS11_MODULE="$work/module.so" VELORA_SIGN_PKCS11_KEY=signer \
    VELORA_SIGN_CERT="$work/chain.pem" "$url"
  expect_check 1 VELORA_SIGN_PKCS12 VELORA_SIGN_PKCS12="$work/missing.p12" "$url"
  expect_check 1 VELORA_SIGN_PASSWORD_FILE "$p12" VELORA_SIGN_PASSWORD_FILE="$work/missing" "$url"
  expect_check 1 VELORA_TIMESTAMP_URL "$p12"
  expect_check 1 VELORA_TIMESTAMP_URL "$p12" VELORA_TIMESTAMP_URL=timestamp.example.com
  expect_check 1 VELORA_SIGN_PKCS12 "$p12" VELORA_SIGN_CERT="$work/chain.pem" "$url"
  expect_check 1 "no certificate" "$url"
  # Signing itself refuses to go on without a certificate.
  cp "$work/module.so" "$work/file"
  "$sign" "$work/file" >/dev/null 2>&1 && fail "scripts/sign signs without a certificate"
  [ "$failures" -eq 0 ] && echo "scripts/sign --check accepts whole configurations and names what half ones lack"
  exit $((failures > 0))
fi

# Paths as given, before the work folder becomes the current one.
mode=$1
out=$(realpath -m "$2")
scr=$(realpath -m "$3")
if [ "$mode" = pkcs12 ]; then
  icon=$(realpath -m "$4")
  version=$5
  upgrade_code=$6
fi
for tool in openssl osslsigncode python3; do
  command -v "$tool" >/dev/null || die "$tool is not installed"
done

# The CA, its code-signing certificate and its timestamp server's.
cd "$work" || die "no work folder"
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=Velora Test CA" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null ||
  die "openssl cannot make the CA"
issue() {  # NAME COMMON_NAME EXTENDED_KEY_USAGE
  openssl req -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "/CN=$2" 2>/dev/null &&
    printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=%s\n' "$3" >"$1.ext" &&
    openssl x509 -req -in "$1.csr" -CA ca.pem -CAkey ca.key -set_serial "$RANDOM" -days 2 -extfile "$1.ext" \
      -out "$1.pem" 2>/dev/null || die "openssl cannot issue the certificate $2"
}
issue signer "Velora Test Signer" codeSigning
issue tsa "Velora Test TSA" critical,timeStamping
cat >tsa.cnf <<EOF
[ tsa ]
default_tsa = velora
[ velora ]
serial = $work/tsa.serial
signer_cert = $work/tsa.pem
certs = $work/ca.pem
signer_key = $work/tsa.key
signer_digest = sha256
default_policy = 1.3.6.1.4.1.55555.1
digests = sha256, sha384, sha512
accuracy = secs:1
ess_cert_id_alg = sha256
EOF
echo 01 >tsa.serial

python3 "$here/tsa.py" tsa.cnf ports 2>tsa.log &
tsa=$!
for ((i = 0; i < 100; i++)); do
  [ -f ports ] && break
  kill -0 "$tsa" 2>/dev/null || die "the timestamp server ended: $(cat tsa.log)"
  sleep 0.1
done
read -r port dead_port <ports || die "the timestamp server never listened: $(cat tsa.log)"
live=http://127.0.0.1:$port/
dead=http://127.0.0.1:$dead_port/

# A signed file verifies against the CA, with a SHA-256 digest and a timestamp.
verified() {  # FILE
  osslsigncode verify -in "$1" -CAfile ca.pem -TSA-CAfile ca.pem >verify.log 2>&1 || {
    fail "$(basename "$1") does not verify: $(cat verify.log)"
    return 1
  }
  grep -q "Message digest algorithm *: SHA256" verify.log || fail "$(basename "$1") is not signed with SHA-256"
  # osslsigncode 2.5 (Debian 12) and 2.9 word it differently.
  grep -qE "Timestamp time:|The signature is timestamped:" verify.log ||
    fail "$(basename "$1") has no timestamp: $(cat verify.log)"
}

mkdir -p "$out" || die "cannot make $out"
cp "$scr" "$out/velora.scr" || die "no $scr"
if [ "$mode" = pkcs11 ]; then
  module=/usr/lib/softhsm/libsofthsm2.so
  [ -f "$module" ] || die "SoftHSM (softhsm2) is not installed"
  mkdir tokens
  printf 'directories.tokendir = %s/tokens\nobjectstore.backend = file\nlog.level = ERROR\n' "$work" >softhsm2.conf
  export SOFTHSM2_CONF=$work/softhsm2.conf
  openssl pkcs8 -topk8 -nocrypt -in signer.key -out signer.pk8 &&
    softhsm2-util --init-token --free --label velora-test --so-pin 8642 --pin 1357 >/dev/null &&
    softhsm2-util --import signer.pk8 --token velora-test --label signer --id 01 --pin 1357 >/dev/null ||
    die "cannot put the key on a SoftHSM token"
  cat signer.pem ca.pem >chain.pem
  printf '1357\n' >pin
  token=(VELORA_SIGN_PKCS11_MODULE="$module" VELORA_SIGN_PKCS11_KEY="pkcs11:token=velora-test;object=signer;type=private"
    VELORA_SIGN_CERT="$work/chain.pem" VELORA_TIMESTAMP_URL="$live")

  # Without its CA the chain reaches no root the verification trusts.
  env "${token[@]}" VELORA_SIGN_PASSWORD_FILE="$work/pin" VELORA_SIGN_CERT="$work/signer.pem" "$sign" "$out/velora.scr" \
    >sign.log 2>&1 && fail "signed although the signature does not verify against the chain given"
  grep -q "does not verify" sign.log || fail "no clear message for a chain without its root: $(cat sign.log)"
  cmp -s "$scr" "$out/velora.scr" || fail "a failed signing changed the file"
  if env "${token[@]}" VELORA_SIGN_PASSWORD_FILE="$work/pin" "$sign" "$out/velora.scr" >sign.log 2>&1; then
    verified "$out/velora.scr" && { grep -q "Subject: /CN=Velora Test Signer" verify.log || fail "not signed by the token's key"; }
  else
    fail "scripts/sign with the token's key: $(cat sign.log)"
  fi
  [ "$failures" -eq 0 ] && echo "velora.scr signed with a key on a PKCS#11 token and timestamped: it verifies"
  exit $((failures > 0))
fi

msi=$out/velora-skyshow-$version-x64.msi
printf 'velora-test\n' >password
openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem -passout file:password -out signer.p12 ||
  die "openssl cannot make the PKCS#12"
p12=(VELORA_SIGN_PKCS12="$work/signer.p12" VELORA_SIGN_PASSWORD_FILE="$work/password")

# The saver, past a first timestamp server that refuses connections.
env "${p12[@]}" VELORA_TIMESTAMP_URL="$dead $live" "$sign" "$out/velora.scr" "Velora Skyshow" >sign.log 2>&1 ||
  die "scripts/sign on velora.scr, the first timestamp server dead: $(cat sign.log)"
verified "$out/velora.scr"

# The installer of the signed saver.
"$make_msi" "$msi" "$version" "$upgrade_code" "$out/velora.scr" "$icon" || die "cannot make the installer"
env "${p12[@]}" VELORA_TIMESTAMP_URL="$live" "$sign" "$msi" "Velora Skyshow" >sign.log 2>&1 ||
  die "scripts/sign on the installer: $(cat sign.log)"
verified "$msi" && { grep -q "Text description: Velora Skyshow" verify.log || fail "the installer's signature has no description"; }

# One byte changed in the saver's code, or in the installer's publisher.
changed() {  # FILE OFFSET
  cp "$1" changed && printf '\x55' | dd of=changed bs=1 seek="$2" conv=notrunc 2>/dev/null
  cmp -s "$1" changed && printf '\x56' | dd of=changed bs=1 seek="$2" conv=notrunc 2>/dev/null
  osslsigncode verify -in changed -CAfile ca.pem -TSA-CAfile ca.pem >/dev/null 2>&1 &&
    fail "$(basename "$1") with byte $2 changed still verifies"
}
changed "$out/velora.scr" 4096
publisher=$(grep -obUa "Skyshow developers" "$msi" | head -n1 | cut -d: -f1)
if [ -n "$publisher" ]; then changed "$msi" "$publisher"; else fail "no publisher found in the installer"; fi

# Only dead timestamp servers: no signature, the file as it was.
cp "$scr" unsigned.scr
env "${p12[@]}" VELORA_TIMESTAMP_URL="$dead http://127.0.0.1:$dead_port/again" "$sign" unsigned.scr >sign.log 2>&1 &&
  fail "signed with no timestamp server answering"
grep -q "no timestamp server answered" sign.log || fail "no clear message for dead timestamp servers: $(cat sign.log)"
cmp -s "$scr" unsigned.scr || fail "a signing without a timestamp changed the file"

[ "$failures" -eq 0 ] && echo "velora.scr and its installer signed and timestamped: they verify, changed copies do not"
exit $((failures > 0))
