#version 300 es

// Texture coordinates run far past 1 on the scrolling road: full precision keeps them exact.
precision highp float;

uniform sampler2D texture0;

in vec3 colour;
in vec2 texCoord;

out vec4 fragColour;

void main() {
    // Vertex colour tints the texture (text colour, car tints); alpha comes from the texture.
    fragColour = texture(texture0, texCoord) * vec4(colour, 1.0);
}
