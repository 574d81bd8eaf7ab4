// Extracts RAR archives with two independent reference decoders, node-unrar-js (the reference
// RAR decoder compiled to WebAssembly) and 7z-wasm (7-Zip compiled to WebAssembly), and checks
// every entry: its bytes and its CRC-32.
//
//   node check-archives.js MODULES SET_DIR      the packer's reference set: SET_DIR/manifest.tsv
//                                               names each archive's entries and expected bytes
//   node check-archives.js MODULES FILE.rar...  any archives: both decoders must extract every
//                                               entry with the CRC its header gives, and agree
// MODULES is the node_modules folder holding both packages. Exit status 0 when every entry of
// every archive passes with both decoders, 1 otherwise, 2 on a usage error.
'use strict';
const fs = require('fs');
const path = require('path');

function crc32(bytes) {
  let table = crc32.table;
  if (!table) {
    table = crc32.table = new Uint32Array(256);
    for (let i = 0; i < 256; i++) {
      let c = i;
      for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
      table[i] = c >>> 0;
    }
  }
  let crc = 0xffffffff;
  for (let i = 0; i < bytes.length; i++) crc = table[(crc ^ bytes[i]) & 0xff] ^ (crc >>> 8);
  return (crc ^ 0xffffffff) >>> 0;
}

const hex = (n) => n.toString(16).toUpperCase().padStart(8, '0');
const slashes = (name) => name.replace(/\\/g, '/');

// Every entry as { name, bytes, crc (from the header) } by node-unrar-js.
async function withUnrar(modules, archiveBytes) {
  const unrar = require(path.join(modules, 'node-unrar-js'));
  const data = archiveBytes.buffer.slice(archiveBytes.byteOffset, archiveBytes.byteOffset + archiveBytes.length);
  const extractor = await unrar.createExtractorFromData({ data });
  const entries = [];
  for (const f of extractor.extract().files) {
    if (f.fileHeader.flags.directory) continue;
    entries.push({ name: slashes(f.fileHeader.name), bytes: Buffer.from(f.extraction || []), crc: f.fileHeader.crc >>> 0 });
  }
  return entries;
}

// Every entry by 7z-wasm: `7z x` into its in-memory file system (it checks each CRC itself and
// reports a mismatch as an error), and `7z l -slt` for the CRC each header gives.
async function withSevenZip(modules, archiveBytes) {
  const SevenZip = require(path.join(modules, '7z-wasm'));
  let output = '';
  const print = (s) => { output += s + '\n'; };
  const sz = await SevenZip({ print, printErr: print });
  const stream = sz.FS.open('/archive.rar', 'w+');
  sz.FS.write(stream, archiveBytes, 0, archiveBytes.length);
  sz.FS.close(stream);
  sz.FS.mkdir('/out');
  sz.callMain(['x', '-y', '-bd', '-o/out', '/archive.rar']);
  const extractOutput = output;
  output = '';
  sz.callMain(['l', '-slt', '/archive.rar']);
  const crcs = new Map();
  const folders = new Set();
  let current = null;
  for (const line of output.split('\n')) {
    const m = /^(Path|CRC|Folder) = (.*)$/.exec(line);
    if (!m) continue;
    if (m[1] === 'Path') current = slashes(m[2]);
    else if (m[1] === 'Folder' && m[2] === '+') folders.add(current);
    else if (m[1] === 'CRC' && current !== null) crcs.set(current, m[2] === '' ? 0 : parseInt(m[2], 16));
  }
  crcs.delete('/archive.rar');
  for (const f of folders) crcs.delete(f);
  const entries = [];
  for (const [name, crc] of crcs) {
    let bytes = null;
    try { bytes = Buffer.from(sz.FS.readFile('/out/' + name)); } catch (e) { bytes = null; }
    entries.push({ name, bytes, crc });
  }
  const errors = extractOutput.split('\n').filter((l) => /ERROR|Error|CRC Failed|Unsupported/.test(l));
  return { entries, errors };
}

// Compares what one decoder produced with the expected entries; returns a list of problems.
function compare(decoder, got, expected) {
  const problems = [];
  if (got.length !== expected.length) problems.push(`${decoder}: ${got.length} entries, expected ${expected.length}`);
  for (const want of expected) {
    const entry = got.find((e) => e.name === want.name);
    if (!entry) { problems.push(`${decoder}: ${want.name}: missing`); continue; }
    if (entry.bytes === null) { problems.push(`${decoder}: ${want.name}: not extracted`); continue; }
    if (want.bytes && !entry.bytes.equals(want.bytes)) problems.push(`${decoder}: ${want.name}: bytes differ`);
    const actual = crc32(entry.bytes);
    if (actual !== want.crc) problems.push(`${decoder}: ${want.name}: CRC-32 ${hex(actual)}, expected ${hex(want.crc)}`);
    if (entry.crc !== want.crc) problems.push(`${decoder}: ${want.name}: header CRC-32 ${hex(entry.crc)}, expected ${hex(want.crc)}`);
  }
  return problems;
}

async function checkArchive(modules, file, expected) {
  const bytes = fs.readFileSync(file);
  let problems = [];
  let unrarEntries = [];
  try {
    unrarEntries = await withUnrar(modules, bytes);
  } catch (e) {
    problems.push(`node-unrar-js: ${e.reason || ''} ${e.message || e}${e.file ? ' (' + e.file + ')' : ''}`);
  }
  // Without a manifest the archive's own header CRCs are what the bytes must match.
  if (!expected) expected = unrarEntries.map((e) => ({ name: e.name, bytes: null, crc: e.crc }));
  if (unrarEntries.length) problems = problems.concat(compare('node-unrar-js', unrarEntries, expected));
  try {
    const sz = await withSevenZip(modules, bytes);
    problems = problems.concat(sz.errors.map((l) => `7z-wasm: ${l.trim()}`));
    problems = problems.concat(compare('7z-wasm', sz.entries, expected));
    // The two decoders must agree with each other, too.
    for (const e of sz.entries) {
      const other = unrarEntries.find((u) => u.name === e.name);
      if (other && e.bytes && !other.bytes.equals(e.bytes)) problems.push(`${e.name}: the two decoders disagree`);
    }
  } catch (e) {
    problems.push(`7z-wasm: ${e.message || e}`);
  }
  const label = path.basename(file);
  if (problems.length === 0) {
    console.log(`OK     ${label} (${expected.length} entries, both decoders)`);
  } else {
    console.log(`FAILED ${label}`);
    for (const p of problems) console.log(`       ${p}`);
  }
  return problems.length === 0;
}

async function main() {
  const [modules, ...targets] = process.argv.slice(2);
  if (!modules || targets.length === 0) {
    console.error('usage: node check-archives.js NODE_MODULES (SET_DIR | FILE.rar...)');
    process.exit(2);
  }
  let failures = 0;
  let archives = 0;
  for (const target of targets) {
    if (fs.statSync(target).isDirectory()) {
      const byArchive = new Map();
      for (const line of fs.readFileSync(path.join(target, 'manifest.tsv'), 'utf8').split('\n')) {
        if (line === '' || line.startsWith('#')) continue;
        const [archive, name, file, crc] = line.split('\t');
        if (!byArchive.has(archive)) byArchive.set(archive, []);
        byArchive.get(archive).push({ name: slashes(name), bytes: fs.readFileSync(path.join(target, file)), crc: parseInt(crc, 16) });
      }
      for (const [archive, expected] of byArchive) {
        ++archives;
        if (!(await checkArchive(modules, path.join(target, archive), expected))) ++failures;
      }
    } else {
      ++archives;
      if (!(await checkArchive(modules, target, null))) ++failures;
    }
  }
  console.log(`${archives} archives, ${failures} failed`);
  process.exit(failures === 0 ? 0 : 1);
}

main().catch((e) => { console.error(e); process.exit(1); });
