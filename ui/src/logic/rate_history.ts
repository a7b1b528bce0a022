// The last minute of rates for the connection card's graph: one sample per status answer.

export interface RateSample {
  down: number;
  up: number;
}

export const historyLength = 60;

export function withSample(history: readonly RateSample[], sample: RateSample): RateSample[] {
  const next = [...history, sample];
  return next.length > historyLength ? next.slice(next.length - historyLength) : next;
}

// Bars are drawn against the largest rate shown, but never against less than 10 kB/s, so that an
// idle tunnel's trickle does not fill the graph.
export function graphScale(history: readonly RateSample[]): number {
  return history.reduce((max, s) => Math.max(max, s.down, s.up), 10_000);
}
