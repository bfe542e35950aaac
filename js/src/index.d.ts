// Types of the vok32 package (src/index.js).

/** A status name of the library: 'VOK_OK', 'VOK_INVALID_STREAM', ... */
export type StatusName = string;

/** A refusal, in the shape the vok tool and the Python package give it. */
export declare class VokError extends Error {
  /** The status's name, e.g. 'VOKX_MISSING_FIELD'. */
  readonly status: StatusName;
  /** Where in a record: 'lines[0].sku'; '' for the whole block. */
  readonly path: string;
  /** The byte of the block where the problem was found. */
  readonly offset: number;
  /** The block's start in the input it came from (0 for a lone block). */
  readonly block: number;
  /** The sentence alone, as in Python: 'is required but was not written'
   * (toString() adds the status and the path). */
  readonly message: string;
}

export interface Frame {
  status: StatusName;
  length: number;
  type: number;
  version: number;
  /** Offset of the first item. */
  body: number;
}

export interface BlockEntry {
  offset: number;
  length: number;
  type: number;
  version: number;
  /** 'VOK_OK' for a sound block, else what is wrong with it. */
  status: StatusName;
  /** A frame that could not be read: length runs to where reading went on. */
  damaged?: true;
}

export type ItemClass =
  | 'flag' | 'unsigned' | 'signed' | 'string' | 'utf8' | 'safe' | 'mark' | 'phrase' | 'end'
  | 'invalid';

export interface Item {
  offset: number;
  size: number;
  /** The tag as written (the width shows in it); 225 for a user mark. */
  tag: number;
  class: ItemClass;
  /** Unsigned, signed, flag byte, mark or phrase number. */
  value?: number;
  /** Bytes of a string's content, or a safe string's length. */
  length?: number;
  /** A utf8 item's text. */
  text?: string;
  /** A plain string's bytes. */
  bytes?: Uint8Array;
  /** For class 'invalid': why the walk stopped. */
  status?: StatusName;
}

export interface ScanOptions {
  /** The largest block length believed (default 16 MiB). */
  maxBlock?: number;
  /** Only blocks of this stream type count. */
  type?: number;
}

export declare function inspect(bytes: Uint8Array): Frame;
export declare function scanBlocks(bytes: Uint8Array, options?: ScanOptions): Generator<BlockEntry>;
export declare function blocks(bytes: Uint8Array, options?: ScanOptions): BlockEntry[];
export declare function items(block: Uint8Array, range?: { start?: number; count?: number }): Item[];
export declare function statusName(status: number): StatusName;
export declare function statusText(status: number): string;

export declare class Writer {
  constructor(type: number, version?: number);
  mark(mark: number): this;
  phrase(phrase: number): this;
  flag(flag: boolean): this;
  signed(value: number): this;
  unsigned(value: number): this;
  safe(length: number): this;
  string(bytes: Uint8Array): this;
  utf8(text: string): this;
  /** The finished block; the writer cannot be used after. */
  finish(): Uint8Array;
}

/**
 * A field's value.  Decoding gives: flag boolean; unsigned, signed, safe
 * (its length) number; unsigned64 and signed64 number, or bigint beyond
 * 2^53; float32 and float64 number; enum its name where the schema names
 * the number, else the number; timestamp a Date from year 1 to 9999, else
 * its milliseconds; string Uint8Array; utf8 string.  Encoding also takes
 * the tool's JSON forms: RFC 3339 text or milliseconds for a timestamp,
 * "NaN", "Infinity", "-Infinity" or {bits} for a float, an enum's number,
 * {hex} or text for a string field.
 */
export type FieldValue = boolean | number | bigint | string | Date | Uint8Array | { bits: string } |
  { hex: string };

export type RecordValue = { [name: string]: FieldValue | FieldValue[] | RecordLevel | RecordLevel[] | null };
export type RecordLevel = { [name: string]: FieldValue | FieldValue[] | null };

export interface FieldSpec {
  name: string;
  mark: number;
  kind: number;
  kindName: string;
  flags: number;
  max: number;
  repeated: boolean;
  hasDefault: boolean;
  default: FieldValue | undefined;
  names: Map<number, string>;
}

export interface GroupSpec {
  name: string;
  phrase: number;
  flags: number;
  max: number;
  repeated: boolean;
  optional: boolean;
  fields: FieldSpec[];
}

export declare class Schema {
  /** A schema file's text, read by the library's loader; throws VokError. */
  static parse(text: string): Schema;
  readonly name: string;
  readonly type: number;
  readonly version: number;
  readonly fields: FieldSpec[];
  readonly groups: GroupSpec[];
  /** Every field and group by name; absent ones null, [] or their default. */
  decode(block: Uint8Array): RecordValue;
  encode(record: RecordValue): Uint8Array;
  /** Releases the schema's memory in the module. */
  free(): void;
}
